#pragma once

class CardLibrary;
class SamLibrary;
class MsrLibrary;
class MessageBoxes;

// What the windows talk to: the three libraries and the message boxes.
struct Platform {
    CardLibrary& card;
    SamLibrary& sam;
    MsrLibrary& msr;
    MessageBoxes& boxes;
};
