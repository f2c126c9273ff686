#include "pcsc/PcscCardLibrary.h"

#include <reader.h>
#include <winscard.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "core/session/ReaderList.h"
#include "core/session/Sle4404Map.h"
#include "pcsc/PcscHandles.h"
#include "pcsc/PcscStorageCard.h"

namespace {
constexpr std::uint32_t Code(LONG rv) {
    return static_cast<std::uint32_t>(rv);
}

const std::uint32_t kInvalidHandle = Code(SCARD_E_INVALID_HANDLE);
const std::uint32_t kInvalidParameter = Code(SCARD_E_INVALID_PARAMETER);
const std::uint32_t kInvalidValue = Code(SCARD_E_INVALID_VALUE);

// Bytes of the answer to reset that a reader-state record holds.
constexpr std::size_t kRecordAtrSize = sizeof(ReaderState::atr);

// The answer to reset of a connected card; empty when the service does not give it.
std::vector<std::uint8_t> CardAtr(SCARDHANDLE card) {
    BYTE atr[MAX_ATR_SIZE];
    DWORD atrLength = sizeof(atr);
    DWORD readerLength = 0;
    DWORD state = 0;
    DWORD protocol = 0;
    if (SCardStatus(card, nullptr, &readerLength, &state, &protocol, atr, &atrLength) !=
        SCARD_S_SUCCESS) {
        return {};
    }
    return {atr, atr + std::min<DWORD>(atrLength, sizeof(atr))};
}

// A reader attribute as text, without the terminating zeros some drivers include.
LONG ReaderAttributeText(SCARDHANDLE card, DWORD attribute, std::vector<BYTE>& text) {
    text.assign(MAX_BUFFER_SIZE, 0);
    DWORD length = static_cast<DWORD>(text.size());
    const LONG rv = SCardGetAttrib(card, attribute, text.data(), &length);
    text.resize(rv == SCARD_S_SUCCESS ? std::min<DWORD>(length, text.size()) : 0);
    while (!text.empty() && text.back() == 0) {
        text.pop_back();
    }
    return rv;
}

// The service's reader list; empty when no reader is attached or the list cannot be had.
std::vector<std::string> ReaderNames(SCARDCONTEXT context) {
    return ReadReaderList([context](char* buffer, std::uint32_t* length) {
               DWORD native = *length;
               const LONG rv = SCardListReaders(context, nullptr, buffer, &native);
               *length = static_cast<std::uint32_t>(std::min<DWORD>(native, UINT32_MAX));
               return Code(rv);
           })
        .names;
}

// Answers by which the service says that a native context is of no more use: the service
// has stopped (and may have been started again since), or it no longer knows the context.
bool ContextLost(LONG rv) {
    return rv == SCARD_E_NO_SERVICE || rv == SCARD_E_SERVICE_STOPPED ||
           rv == SCARD_E_INVALID_HANDLE;
}

// Makes `call` with the open context's native handle. When the answer says that the native
// context is lost, one attempt is made to establish a fresh one behind the same number;
// if the service gives one, the call is made once more with it. So a program that keeps
// its context number goes on working after the service has been restarted, and while the
// service is away each call costs one failed attempt to reach it, nothing more.
template <typename Call>
LONG CallOnContext(PcscHandles& handles, std::uint32_t context, Call call) {
    const PcscHandles::Context& entry = *handles.FindContext(context);
    const LONG rv = call(entry.native);
    if (!ContextLost(rv)) {
        return rv;
    }
    SCARDCONTEXT fresh = 0;
    if (SCardEstablishContext(entry.scope, nullptr, nullptr, &fresh) != SCARD_S_SUCCESS) {
        return rv;
    }
    // Frees what the client side still holds for the old context and its cards.
    SCardReleaseContext(handles.RenewContext(context, fresh));
    return call(fresh);
}
}  // namespace

PcscCardLibrary::PcscCardLibrary() : handles_(std::make_unique<PcscHandles>()) {}

PcscCardLibrary::~PcscCardLibrary() {
    for (const auto& [id, card] : handles_->Cards()) {
        SCardDisconnect(card.native, SCARD_LEAVE_CARD);
    }
    for (const auto& [id, context] : handles_->Contexts()) {
        SCardReleaseContext(context.native);
    }
}

std::size_t PcscCardLibrary::OpenCardCount() const {
    return handles_->Cards().size();
}

std::uint32_t PcscCardLibrary::CardEstablishContext(std::uint32_t scope, const void*, const void*,
                                                    std::uint32_t* context) {
    if (context == nullptr) {
        return kInvalidParameter;
    }
    SCARDCONTEXT native = 0;
    const LONG rv = SCardEstablishContext(scope, nullptr, nullptr, &native);
    if (rv != SCARD_S_SUCCESS) {
        return Code(rv);
    }
    *context = handles_->AddContext({native, scope, {}});
    return 0;
}

std::uint32_t PcscCardLibrary::CardReleaseContext(std::uint32_t context) {
    const PcscHandles::Context* entry = handles_->FindContext(context);
    if (entry == nullptr) {
        return kInvalidHandle;
    }
    const LONG rv = SCardReleaseContext(entry->native);
    // The service has closed the context's cards with it, or has lost them all already;
    // a released number is never brought back to life by a fresh native context.
    if (rv == SCARD_S_SUCCESS || ContextLost(rv)) {
        handles_->RemoveContext(context);
    }
    return Code(rv);
}

std::uint32_t PcscCardLibrary::CardListReaders(std::uint32_t context, const char* groups,
                                               char* readers, std::uint32_t* length) {
    if (length == nullptr) {
        return kInvalidParameter;
    }
    if (handles_->FindContext(context) == nullptr) {
        return kInvalidHandle;
    }
    DWORD native = 0;
    const LONG rv = CallOnContext(*handles_, context, [&](SCARDCONTEXT owner) {
        native = *length;
        return SCardListReaders(owner, groups, readers, &native);
    });
    if (rv == SCARD_E_NO_READERS_AVAILABLE) {
        // No reader attached is a list like any other: only its final terminator.
        if (readers != nullptr) {
            if (*length == 0) {
                *length = 1;
                return Code(SCARD_E_INSUFFICIENT_BUFFER);
            }
            readers[0] = '\0';
        }
        *length = 1;
        return 0;
    }
    *length = static_cast<std::uint32_t>(std::min<DWORD>(native, UINT32_MAX));
    return Code(rv);
}

std::uint32_t PcscCardLibrary::CardGetStatusChange(std::uint32_t context, std::uint32_t timeout,
                                                   ReaderState* states, std::uint32_t count) {
    if (states == nullptr) {
        return kInvalidParameter;
    }
    // No reader at all would make the service wait out the whole (possibly endless) timeout.
    if (count == 0 || count > PCSCLITE_MAX_READERS_CONTEXTS) {
        return kInvalidValue;
    }
    PcscHandles::Context* entry = handles_->FindContext(context);
    if (entry == nullptr) {
        return kInvalidHandle;
    }
    std::vector<SCARD_READERSTATE> native(count);
    for (std::uint32_t i = 0; i < count; ++i) {
        if (states[i].reader == nullptr) {
            return kInvalidParameter;
        }
        native[i].szReader = states[i].reader;
        native[i].pvUserData = states[i].userData;
        native[i].dwCurrentState = states[i].currentState;
        native[i].dwEventState = states[i].eventState;
        native[i].cbAtr =
            std::min<std::size_t>({states[i].atrLength, kRecordAtrSize, sizeof(native[i].rgbAtr)});
        std::memcpy(native[i].rgbAtr, states[i].atr, native[i].cbAtr);
    }
    const auto cardLost = [entry](const ReaderState& state) {
        return entry->lostCards.contains(state.reader);
    };
    const LONG rv = CallOnContext(*handles_, context, [&](SCARDCONTEXT owner) {
        // A lost card is reported at once, without waiting for a change.
        const bool reportLoss = std::any_of(states, states + count, cardLost);
        return SCardGetStatusChange(owner, reportLoss ? 0 : timeout, native.data(), count);
    });
    const bool answered = rv == SCARD_S_SUCCESS || rv == SCARD_E_TIMEOUT;
    bool lossReported = false;
    for (std::uint32_t i = 0; i < count; ++i) {
        states[i].eventState = static_cast<std::uint32_t>(native[i].dwEventState);
        const std::size_t atrLength =
            std::min<std::size_t>({native[i].cbAtr, kRecordAtrSize, sizeof(native[i].rgbAtr)});
        std::memcpy(states[i].atr, native[i].rgbAtr, atrLength);
        states[i].atrLength = static_cast<std::uint32_t>(atrLength);
        if (answered && cardLost(states[i])) {
            // The card connected in this reader went with the service: what the reader
            // did in between is unknown, and a card in it now has to be connected anew.
            states[i].eventState = SCARD_STATE_CHANGED | SCARD_STATE_UNAVAILABLE;
            states[i].atrLength = 0;
            lossReported = true;
        }
    }
    if (lossReported) {
        for (std::uint32_t i = 0; i < count; ++i) {
            entry->lostCards.erase(states[i].reader);
        }
        return 0;
    }
    if (answered && CountReaderChanges(context, states, count)) {
        return 0;
    }
    return Code(rv);
}

// A service that keeps no count of reader-list changes answers the notification query that
// returns at once without ever reporting one. The count is kept here instead, in the upper
// word of the event state as the service keeps it: it goes up whenever the reader list
// differs from the one seen at the last query, and a caller whose current state holds
// another count is told of the change.
bool PcscCardLibrary::CountReaderChanges(std::uint32_t context, ReaderState* states,
                                         std::uint32_t count) {
    bool changed = false;
    for (std::uint32_t i = 0; i < count; ++i) {
        ReaderState& state = states[i];
        if (!IsReaderChangeNotification(state.reader) || ReaderEventCount(state.eventState) != 0) {
            continue;
        }
        PcscHandles::Context* entry = handles_->FindContext(context);
        std::vector<std::string> list = ReaderNames(entry->native);
        if (entry->readerEvents == 0 || list != entry->readerList) {
            entry->readerList = std::move(list);
            entry->readerEvents = entry->readerEvents % kReaderEventCountMask + 1;
        }
        const std::uint32_t known = ReaderEventCount(state.currentState);
        state.eventState = (state.eventState & kReaderEventCountMask) |
                           (entry->readerEvents << kReaderEventCountShift);
        if (known != 0 && known != entry->readerEvents) {
            state.eventState |= SCARD_STATE_CHANGED;
            changed = true;
        }
    }
    return changed;
}

std::uint32_t PcscCardLibrary::CardConnect(std::uint32_t context, const char* reader,
                                           std::uint32_t shareMode,
                                           std::uint32_t preferredProtocols, std::uint32_t* card,
                                           std::uint32_t* activeProtocol) {
    if (reader == nullptr || card == nullptr || activeProtocol == nullptr) {
        return kInvalidParameter;
    }
    if (handles_->FindContext(context) == nullptr) {
        return kInvalidHandle;
    }
    PcscHandles::Card entry;
    entry.context = context;
    entry.reader = reader;
    const LONG rv = CallOnContext(*handles_, context, [&](SCARDCONTEXT owner) {
        return SCardConnect(owner, reader, shareMode, preferredProtocols, &entry.native,
                            &entry.protocol);
    });
    if (rv != SCARD_S_SUCCESS) {
        return Code(rv);
    }
    entry.storageCard = IsStorageCardAtr(CardAtr(entry.native));
    *card = handles_->AddCard(entry);
    *activeProtocol =
        entry.storageCard ? kProtocolMemoryCard : static_cast<std::uint32_t>(entry.protocol);
    return 0;
}

std::uint32_t PcscCardLibrary::CardDisconnect(std::uint32_t card, std::uint32_t disposition) {
    const PcscHandles::Card* entry = handles_->FindCard(card);
    if (entry == nullptr) {
        return kInvalidHandle;
    }
    const LONG rv = SCardDisconnect(entry->native, disposition);
    // A handle the service no longer knows is of no use to keep either.
    if (rv == SCARD_S_SUCCESS || rv == SCARD_E_INVALID_HANDLE) {
        handles_->RemoveCard(card);
    }
    return Code(rv);
}

std::uint32_t PcscCardLibrary::CardReconnect(std::uint32_t card, std::uint32_t shareMode,
                                             std::uint32_t preferredProtocols,
                                             std::uint32_t initialization,
                                             std::uint32_t* activeProtocol) {
    if (activeProtocol == nullptr) {
        return kInvalidParameter;
    }
    PcscHandles::Card* entry = handles_->FindCard(card);
    if (entry == nullptr) {
        return kInvalidHandle;
    }
    DWORD protocol = 0;
    const LONG rv =
        SCardReconnect(entry->native, shareMode, preferredProtocols, initialization, &protocol);
    if (rv != SCARD_S_SUCCESS) {
        return Code(rv);
    }
    entry->protocol = protocol;
    *activeProtocol =
        entry->storageCard ? kProtocolMemoryCard : static_cast<std::uint32_t>(entry->protocol);
    return 0;
}

std::uint32_t PcscCardLibrary::CardTransmit(std::uint32_t card, const IoRequest* sendPci,
                                            const std::uint8_t* sendBuffer,
                                            std::uint32_t sendLength, IoRequest*,
                                            std::uint8_t* recvBuffer, std::uint32_t* recvLength) {
    if ((sendBuffer == nullptr && sendLength > 0) || recvBuffer == nullptr ||
        recvLength == nullptr) {
        return kInvalidParameter;
    }
    const PcscHandles::Card* entry = handles_->FindCard(card);
    if (entry == nullptr) {
        return kInvalidHandle;
    }
    // A memory card is reported as protocol 16 but talks over the protocol negotiated.
    DWORD protocol = entry->protocol;
    if (sendPci != nullptr && sendPci->protocol != kProtocolMemoryCard) {
        protocol = sendPci->protocol;
    }
    const SCARD_IO_REQUEST pci{protocol, sizeof(SCARD_IO_REQUEST)};
    const DWORD capacity = *recvLength;
    DWORD received = capacity;
    const LONG rv =
        SCardTransmit(entry->native, &pci, sendBuffer, sendLength, nullptr, recvBuffer, &received);
    // A failed exchange delivers nothing, whatever length the service left behind.
    *recvLength =
        rv == SCARD_S_SUCCESS ? static_cast<std::uint32_t>(std::min(received, capacity)) : 0;
    return Code(rv);
}

std::uint32_t PcscCardLibrary::CardReaderType(std::uint32_t card, std::uint8_t* buffer,
                                              std::uint32_t* length) {
    if (buffer == nullptr || length == nullptr) {
        return kInvalidParameter;
    }
    const PcscHandles::Card* entry = handles_->FindCard(card);
    if (entry == nullptr) {
        *length = 0;
        return kInvalidHandle;
    }
    std::vector<BYTE> text;
    LONG rv = ReaderAttributeText(entry->native, SCARD_ATTR_VENDOR_IFD_TYPE, text);
    if (rv != SCARD_S_SUCCESS) {
        rv = ReaderAttributeText(entry->native, SCARD_ATTR_VENDOR_NAME, text);
    }
    const auto delivered = static_cast<std::uint32_t>(std::min<std::size_t>(*length, text.size()));
    std::memcpy(buffer, text.data(), delivered);
    *length = delivered;
    return Code(rv);
}

std::unique_ptr<PcscStorageCard> PcscCardLibrary::StorageCard(std::uint32_t card) {
    const PcscHandles::Card* entry = handles_->FindCard(card);
    if (entry == nullptr) {
        return nullptr;
    }
    const SCARDHANDLE native = entry->native;
    const SCARD_IO_REQUEST pci{entry->protocol, sizeof(SCARD_IO_REQUEST)};
    return std::make_unique<PcscStorageCard>(
        [native, pci](std::span<const std::uint8_t> command, std::vector<std::uint8_t>& response) {
            response.assign(MAX_BUFFER_SIZE, 0);
            DWORD received = static_cast<DWORD>(response.size());
            const LONG rv =
                SCardTransmit(native, &pci, command.data(), static_cast<DWORD>(command.size()),
                              nullptr, response.data(), &received);
            response.resize(rv == SCARD_S_SUCCESS ? std::min<DWORD>(received, response.size()) : 0);
            return Code(rv);
        });
}

std::uint32_t PcscCardLibrary::StorageRead(std::uint32_t card, std::uint8_t* buffer,
                                           std::uint32_t address, std::uint32_t* length) {
    const auto storage = StorageCard(card);
    return storage ? storage->Read(address, buffer, length) : kInvalidHandle;
}

std::uint32_t PcscCardLibrary::StorageWrite(std::uint32_t card, const std::uint8_t* data,
                                            std::uint32_t address, std::uint32_t length) {
    const auto storage = StorageCard(card);
    return storage ? storage->Write(address, data, length) : kInvalidHandle;
}

std::uint32_t PcscCardLibrary::StorageVerify(std::uint32_t card, std::span<const std::uint8_t> code,
                                             std::uint8_t reference) {
    const auto storage = StorageCard(card);
    return storage ? storage->Verify(code, reference) : kInvalidHandle;
}

std::uint32_t PcscCardLibrary::Unsupported(std::uint32_t card) {
    return handles_->FindCard(card) != nullptr ? kUnsupportedFeature : kInvalidHandle;
}

std::uint32_t PcscCardLibrary::CardSLE4442ReadMain(std::uint32_t card, std::uint8_t* buffer,
                                                   std::uint32_t address, std::uint32_t* length) {
    return StorageRead(card, buffer, address, length);
}

std::uint32_t PcscCardLibrary::CardSLE4442WriteMain(std::uint32_t card, const std::uint8_t* data,
                                                    std::uint32_t address, std::uint32_t length) {
    return StorageWrite(card, data, address, length);
}

std::uint32_t PcscCardLibrary::CardSLE4442ReadProtect(std::uint32_t card, std::uint8_t*) {
    return Unsupported(card);
}

std::uint32_t PcscCardLibrary::CardSLE4442WriteProtect(std::uint32_t card, const std::uint8_t*,
                                                       std::uint32_t, std::uint32_t) {
    return Unsupported(card);
}

std::uint32_t PcscCardLibrary::CardSLE4442ReadSecurity(std::uint32_t card, std::uint8_t*) {
    return Unsupported(card);
}

std::uint32_t PcscCardLibrary::CardSLE4442WriteSecurity(std::uint32_t card, const std::uint8_t*,
                                                        std::uint32_t, std::uint32_t) {
    return Unsupported(card);
}

std::uint32_t PcscCardLibrary::CardSLE4442Verify(std::uint32_t card, std::uint8_t code1,
                                                 std::uint8_t code2, std::uint8_t code3) {
    const std::uint8_t code[] = {code1, code2, code3};
    return StorageVerify(card, code);
}

std::uint32_t PcscCardLibrary::CardSLE4428WriteWithProtectBit(std::uint32_t card,
                                                              const std::uint8_t*, std::uint32_t,
                                                              std::uint32_t) {
    return Unsupported(card);
}

std::uint32_t PcscCardLibrary::CardSLE4428WriteMain(std::uint32_t card, const std::uint8_t* data,
                                                    std::uint32_t address, std::uint32_t length) {
    return StorageWrite(card, data, address, length);
}

std::uint32_t PcscCardLibrary::CardSLE4428WriteProtectBit(std::uint32_t card, const std::uint8_t*,
                                                          std::uint32_t, std::uint32_t) {
    return Unsupported(card);
}

std::uint32_t PcscCardLibrary::CardSLE4428ReadWithProtectBit(std::uint32_t card, std::uint8_t*,
                                                             std::uint8_t*, std::uint32_t,
                                                             std::uint32_t* length) {
    if (length != nullptr) {
        *length = 0;
    }
    return Unsupported(card);
}

std::uint32_t PcscCardLibrary::CardSLE4428ReadMain(std::uint32_t card, std::uint8_t* buffer,
                                                   std::uint32_t address, std::uint32_t* length) {
    return StorageRead(card, buffer, address, length);
}

std::uint32_t PcscCardLibrary::CardSLE4428VerifyPSC(std::uint32_t card, std::uint8_t code1,
                                                    std::uint8_t code2) {
    const std::uint8_t code[] = {code1, code2};
    return StorageVerify(card, code);
}

std::uint32_t PcscCardLibrary::CardSLE4404ReadMemory(std::uint32_t card, std::uint8_t* buffer,
                                                     std::uint32_t address, std::uint32_t* length) {
    return StorageRead(card, buffer, address, length);
}

std::uint32_t PcscCardLibrary::CardSLE4404ReadUserMemory(std::uint32_t card, std::uint8_t* buffer,
                                                         std::uint32_t address,
                                                         std::uint32_t* length) {
    const auto storage = StorageCard(card);
    return storage ? storage->ReadArea(sle4404::kUserMemory.start, sle4404::kUserMemory.size,
                                       address, buffer, length)
                   : kInvalidHandle;
}

std::uint32_t PcscCardLibrary::CardSLE4404VerifyUserCode(std::uint32_t card, std::uint8_t code1,
                                                         std::uint8_t code2) {
    const std::uint8_t code[] = {code1, code2};
    return StorageVerify(card, code, sle4404::kUserCodeReference);
}

std::uint32_t PcscCardLibrary::CardSLE4404VerifyMemoryCode(std::uint32_t card, std::uint8_t code1,
                                                           std::uint8_t code2, std::uint8_t code3,
                                                           std::uint8_t code4) {
    const std::uint8_t code[] = {code1, code2, code3, code4};
    return StorageVerify(card, code, sle4404::kMemoryCodeReference);
}

std::uint32_t PcscCardLibrary::CardSLE4404EraseMemory(std::uint32_t card, std::uint32_t,
                                                      std::uint32_t) {
    return Unsupported(card);
}

std::uint32_t PcscCardLibrary::CardSLE4404WriteMemory(std::uint32_t card, const std::uint8_t* data,
                                                      std::uint32_t address, std::uint32_t length) {
    return StorageWrite(card, data, address, length);
}

std::uint32_t PcscCardLibrary::CardSLE4404WriteUserMemory(std::uint32_t card,
                                                          const std::uint8_t* data,
                                                          std::uint32_t address,
                                                          std::uint32_t length) {
    const auto storage = StorageCard(card);
    return storage ? storage->WriteArea(sle4404::kUserMemory.start, sle4404::kUserMemory.size,
                                        address, data, length)
                   : kInvalidHandle;
}

std::uint32_t PcscCardLibrary::CardSLE4436ReadMemory(std::uint32_t card, std::uint8_t* buffer,
                                                     std::uint32_t address, std::uint32_t* length) {
    return StorageRead(card, buffer, address, length);
}

std::uint32_t PcscCardLibrary::CardSLE4436ReadCounterStages(std::uint32_t card, std::uint8_t*) {
    return Unsupported(card);
}

std::uint32_t PcscCardLibrary::CardSLE4436WriteMemory(std::uint32_t card, const std::uint8_t* data,
                                                      std::uint32_t address, std::uint32_t length) {
    return StorageWrite(card, data, address, length);
}

std::uint32_t PcscCardLibrary::CardSLE4436WriteCounterStage(std::uint32_t card, std::uint8_t,
                                                            std::uint8_t) {
    return Unsupported(card);
}

std::uint32_t PcscCardLibrary::CardSLE4436Reload(std::uint32_t card, std::uint8_t) {
    return Unsupported(card);
}

std::uint32_t PcscCardLibrary::CardSLE4436VerifyTransportCode(std::uint32_t card,
                                                              std::uint8_t code1,
                                                              std::uint8_t code2,
                                                              std::uint8_t code3) {
    const std::uint8_t code[] = {code1, code2, code3};
    return StorageVerify(card, code);
}

// I2C memories need their own command and address bytes on the wire, which no reader-
// independent command carries.
std::uint32_t PcscCardLibrary::CardI2CReadMemory(std::uint32_t card, std::uint8_t, std::uint32_t,
                                                 std::uint8_t*, std::uint32_t* length, std::uint8_t,
                                                 std::uint8_t) {
    if (length != nullptr) {
        *length = 0;
    }
    return Unsupported(card);
}

std::uint32_t PcscCardLibrary::CardI2CWriteMemory(std::uint32_t card, std::uint8_t, std::uint32_t,
                                                  const std::uint8_t*, std::uint32_t,
                                                  std::uint8_t) {
    return Unsupported(card);
}
