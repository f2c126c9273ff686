#pragma once

#include <QString>

// A field's text grew from `previous` to `input` by one insertion ending at `cursor`, typed
// or pasted, perhaps over a selection. When `input` is longer than `limit` (and longer than
// `previous`, which may already exceed a lowered limit and is kept), the inserted part is
// cut to what fits, as a native length limit does, and `cursor` follows. False when nothing
// of the insertion fits: the edit is then refused whole.
bool FitInsertion(const QString& previous, QString& input, int& cursor, qsizetype limit);
