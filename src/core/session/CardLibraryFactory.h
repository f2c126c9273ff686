#pragma once

#include <functional>
#include <memory>

class CardLibrary;

// Makes a card library instance of its own (its own context and handle table) for a worker
// thread: a new PC/SC library each, or an adapter over a simulated reader.
using CardLibraryFactory = std::function<std::unique_ptr<CardLibrary>()>;
