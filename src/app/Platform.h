#pragma once

#include <QString>

#include "core/session/CardLibraryFactory.h"

class CardLibrary;
class SamLibrary;
class MsrLibrary;
class MessageBoxes;
class ReaderControlFactory;

// What the windows talk to: the three libraries and the message boxes, the list of known
// ATRs the status bar names cards from (the mains pass the installed one), and where worker
// threads (script and stress runs) get card libraries of their own.
struct Platform {
    CardLibrary& card;
    SamLibrary& sam;
    MsrLibrary& msr;
    MessageBoxes& boxes;
    QString atrListPath;
    // Connections to a reader itself, for its Properties; none leaves the window out.
    ReaderControlFactory* readerControl = nullptr;
    CardLibraryFactory workerLibraries = {};
};
