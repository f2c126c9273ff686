#pragma once

#include <QString>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

class CardLibrary;

// Choosing the reader of a command's --reader NAME|INDEX: the name of an attached reader,
// else its 0-based index in the reader list. The messages are the same for every command.

// Why the reader list gave no reader: `code` is the list call's code, 0 for an empty list.
QString ReaderListErrorText(std::uint32_t code);

// The attached readers of `library`; nothing, with the reason in `error`, when the list
// cannot be read or is empty.
std::optional<std::vector<std::string>> AttachedReaders(CardLibrary& library, QString& error);

// The reader that `wanted` names among `attached`; the first one when `wanted` is empty.
// Nothing, with the reason in `error`, when no reader has that name or index.
std::optional<std::string> ChooseReader(const std::vector<std::string>& attached,
                                        const QString& wanted, QString& error);

// The attached reader of `library` that `wanted` names, as ChooseReader chooses it.
std::optional<std::string> ChooseAttachedReader(CardLibrary& library, const QString& wanted,
                                                QString& error);
