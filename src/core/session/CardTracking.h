#pragma once

class ReaderSession;

// What one tick of card tracking asks of the windows.
struct TrackingTick {
    enum class StatusWindow { Unchanged, ShowInsertCard, ShowEjectCard, Hide };
    StatusWindow statusWindow = StatusWindow::Unchanged;
    bool connected = false;  // a card was connected on this tick: "Connect Success" is logged
    bool rearmed = false;    // a disconnected card was taken out: Connect is usable again
};

// One tick of the tracking timer on the selected reader: follows insertion and removal,
// connects an inserted card while armed and logs at most ConnectFailLimit refusals per
// insertion. A selected reader that has been unplugged is left alone.
TrackingTick TrackCard(ReaderSession& session);
