#pragma once

#include "core/stress/CardLibraryFactory.h"

class CardLibrary;
class SamLibrary;
class MsrLibrary;
class MessageBoxes;

// What the windows talk to: the three libraries and the message boxes, and where worker
// threads (stress runs) get card libraries of their own.
struct Platform {
    CardLibrary& card;
    SamLibrary& sam;
    MsrLibrary& msr;
    MessageBoxes& boxes;
    CardLibraryFactory workerLibraries = {};
};
