#pragma once

struct MsrTrackRecord;
class ResponseLog;

// Writes a successful swipe: the success line, " MSR Data : ", each track's header with
// its length and its bytes in rows of 32, then the separator line.
//
// A track length above the record's 256 bytes is out of contract: the header still shows
// the length the reader reported, so the fault is visible, but only the 256 bytes the
// record holds are shown.
void AppendSwipeReport(ResponseLog& log, const MsrTrackRecord& tracks);
