#pragma once

#include <functional>
#include <memory>

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
    // A card library for a worker thread (a script run): a context of its own onto the same
    // readers. Empty where there is none; scripts then cannot run.
    std::function<std::unique_ptr<CardLibrary>()> workerCard = {};
};
