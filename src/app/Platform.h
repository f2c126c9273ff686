#pragma once

#include <QString>

class CardLibrary;
class SamLibrary;
class MsrLibrary;
class MessageBoxes;

// What the windows talk to: the three libraries and the message boxes, and the list of
// known ATRs the status bar names cards from (the mains pass the installed one).
struct Platform {
    CardLibrary& card;
    SamLibrary& sam;
    MsrLibrary& msr;
    MessageBoxes& boxes;
    QString atrListPath;
};
