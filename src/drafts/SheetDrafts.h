#pragma once
// Keeps what is typed on the sheet and not saved. While the sheet differs
// from what it held when it was last loaded, saved or started blank, its
// texts are written to the drafts file once typing pauses, at once when the
// focus leaves a box typed in since the last write (Enter to the next box, a
// click elsewhere, another window), and at once before the sheet is
// replaced, together with the stored record the typing began on
// (the saver's record, when the sheet carries its key). A drafts file that
// cannot be written turns drafts off for the rest of the run, told once;
// nothing else changes.
#include "DraftStore.h"

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

class QWidget;

namespace brenvoll {

class RecordSaver;
class SheetView;

class SheetDrafts : public QObject
{
    Q_OBJECT
public:
    // The pause after the last keystroke before a draft is written, and the
    // longest that typing without a pause goes unwritten.
    static constexpr int kPauseMs = 2000;
    static constexpr int kLongestMs = 10000;

    // `saver` saves the sheet; messages stand over `window`.
    SheetDrafts(SheetView* sheet, RecordSaver& saver, QWidget* window);
    ~SheetDrafts() override;

    // Opens the drafts file beside `databaseFile`.
    void open(const QString& databaseFile);
    // Whether drafts are being written.
    bool isOn() const { return m_on; }
    // Whether the drafts file could not be used from the start of the run
    // (the operator was told then).
    bool openFailed() const { return m_openFailed; }
    const DraftStore& store() const { return m_store; }

    // Writes the sheet's draft now when typing since the last write left it
    // unwritten; drops it when the sheet is back to its starting point.
    void keep();

    // While one lives, the sheet is being replaced: what it showed was kept
    // when the first began, its changes are no typing, and what it shows when
    // the last ends is the new starting point, without a draft.
    class Replacement
    {
    public:
        explicit Replacement(SheetDrafts& drafts);
        ~Replacement();
        Replacement(const Replacement&) = delete;
        Replacement& operator=(const Replacement&) = delete;

    private:
        SheetDrafts& m_drafts;
    };

    // The sheet was stored: its draft goes, and the sheet as stored is the
    // new starting point.
    void saved();
    // Keeps the sheet, then puts draft `id` on it as if typed: unsaved, with
    // the stored record it was typed over as its starting point and as the
    // saver's loaded record, so that saving updates that record (asking first
    // when it was changed elsewhere meanwhile); a draft of a new sheet saves
    // as a new record. A draft of an earlier version takes the record stored
    // under its key now, if any. False with a reason when the draft cannot be
    // read.
    bool restore(qint64 id, QString* error = nullptr);
    bool remove(qint64 id, QString* error = nullptr);
    // Every draft, the one typed last first.
    std::vector<Draft> list(QString* error = nullptr) const;

    // What a run that did not close cleanly left behind, told once: later
    // calls find nothing.
    DraftsLeftOpen takeLeftOpen();

    // Keeps the sheet, then closes the drafts file as at the end of a clean
    // run; no draft is written afterwards.
    void closeCleanly();

    // The pause before a draft is written (kPauseMs unless set).
    void setPause(int milliseconds) { m_pauseMs = milliseconds; }

signals:
    // A draft was written or dropped.
    void changed();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void edited();
    void startOver();
    bool differs(const ExamRecord& texts) const;
    void fail(const QString& reason);

    SheetView* m_sheet;
    RecordSaver& m_saver;
    QWidget* m_window;
    DraftStore m_store;
    bool m_on = false;
    bool m_openFailed = false;
    bool m_leftOpenTold = false;
    int m_replacing = 0;
    int m_pauseMs = kPauseMs;
    QTimer m_timer;
    QElapsedTimer m_unwrittenSince;
    bool m_unwritten = false; // typed since the last write
    ExamRecord m_start;       // the sheet as loaded, saved or started blank
    Draft m_draft;            // the sheet's draft (id 0: none written)
};

} // namespace brenvoll
