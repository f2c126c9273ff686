#pragma once

#include <QWidget>

class QLabel;
class ReplyFeed;
class TlvView;

// The "Reply" window: the last reply of the CPU card page, the SAM page or a script run,
// decoded as BER-TLV beside its bytes. Shown without a parent, so that it stays usable beside
// the main window while the user works; it follows the feed while hidden only on its next
// show.
class ReplyWindow : public QWidget {
    Q_OBJECT
  public:
    explicit ReplyWindow(const ReplyFeed& feed);

  protected:
    void showEvent(QShowEvent* event) override;

  private:
    void FeedChanged();
    void ShowLastReply();

    const ReplyFeed& feed_;
    bool stale_ = true;
    QLabel* source_ = nullptr;
    TlvView* view_ = nullptr;
};
