#pragma once

#include "core/session/CardLibraryFactory.h"

class CardLibrary;
class SamLibrary;
class MsrLibrary;
class MessageBoxes;
class ReaderControlFactory;

// What the windows talk to: the three libraries and the message boxes, and where worker
// threads (stress runs) get card libraries of their own.
struct Platform {
    CardLibrary& card;
    SamLibrary& sam;
    MsrLibrary& msr;
    MessageBoxes& boxes;
    // Connections to a reader itself, for its Properties; none leaves the window out.
    ReaderControlFactory* readerControl = nullptr;
    CardLibraryFactory workerLibraries = {};
};
