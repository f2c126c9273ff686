#include "core/session/CardTracking.h"

#include "core/common/ResponseLog.h"
#include "core/session/ReaderSession.h"

TrackingTick TrackCard(ReaderSession& session) {
    TrackingTick tick;
    if (!session.ReaderLost()) {
        session.RefreshCardState();  // on failure the flags keep their last values
    }
    if (session.ReaderLost()) {
        // The reader has been unplugged: no card is asked for until a reader is selected.
        tick.statusWindow = TrackingTick::StatusWindow::Hide;
        return tick;
    }
    if (!session.TrackingArmed()) {
        // A card was disconnected by hand: wait for it to be taken out before arming again.
        session.ResetConnectFails();
        if (!session.CardPresent()) {
            session.RearmTracking();
            tick.rearmed = true;
            tick.statusWindow = TrackingTick::StatusWindow::Hide;
        } else {
            tick.statusWindow = TrackingTick::StatusWindow::ShowEjectCard;
        }
        return tick;
    }
    if (!session.CardPresent()) {
        tick.statusWindow = TrackingTick::StatusWindow::ShowInsertCard;
        session.ResetConnectFails();
    } else {
        tick.statusWindow = TrackingTick::StatusWindow::Hide;
    }
    if (session.CardConnected()) {
        return tick;
    }
    if (session.TryConnectCard()) {
        session.ResetConnectFails();
        AppendLogLine(session.CardLog(), "Connect Success");
        AppendLogLine(session.CardLog(), "");
        tick.connected = true;
    } else if (session.ConnectFailed() && session.ConnectFailCount() < ConnectFailLimit) {
        AppendLogLine(session.CardLog(), "Connect Fail");
        session.CountConnectFail();
    }
    return tick;
}
