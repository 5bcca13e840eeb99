#include "SheetDrafts.h"

#include "base/Clock.h"
#include "base/ProgramPaths.h"
#include "record/RecordSaver.h"
#include "record/RecordStore.h"
#include "sheet/SheetView.h"
#include "ui/MessageBox.h"

#include <QDir>
#include <QEvent>
#include <QLineEdit>

namespace brenvoll {

SheetDrafts::SheetDrafts(SheetView* sheet, RecordSaver& saver, QWidget* window)
    : QObject(window), m_sheet(sheet), m_saver(saver), m_window(window)
{
    setObjectName(QStringLiteral("SheetDrafts"));
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, &SheetDrafts::keep);
    for (const BoxDef& def : FieldMap::boxes()) {
        connect(m_sheet->box(def.field), &QLineEdit::textChanged, this, &SheetDrafts::edited);
        m_sheet->box(def.field)->installEventFilter(this);
    }
    m_start = m_sheet->record();
}

SheetDrafts::~SheetDrafts() = default;

void SheetDrafts::open(const QString& databaseFile)
{
    if (databaseFile.isEmpty()) {
        return; // no database, no records to type
    }
    const QString path = draftsPath(databaseFile);
    QString error;
    m_on = m_store.open(path, Clock::now(), &error);
    m_openFailed = !m_on;
    if (!m_on) {
        fail(error);
    }
}

void SheetDrafts::fail(const QString& reason)
{
    m_on = false;
    m_timer.stop();
    MessageBox::warning(m_window, QStringLiteral("无法保存未保存表格的草稿（%1）。\n草稿文件：“%2”\n"
                                                 "本次运行不再保存草稿；记录的保存和其他操作都不受影响。")
                                      .arg(reason, QDir::toNativeSeparators(m_store.path())));
}

void SheetDrafts::edited()
{
    if (m_replacing > 0) {
        return;
    }
    if (!m_unwritten) {
        m_unwritten = true;
        m_unwrittenSince.start();
    }
    m_draft.typedAt = Clock::now();
    // Each keystroke puts the write off until typing pauses, but never
    // beyond the longest wait.
    if (m_on && (!m_timer.isActive() || m_unwrittenSince.elapsed() + m_pauseMs <= kLongestMs)) {
        m_timer.start(m_pauseMs);
    }
}

bool SheetDrafts::eventFilter(QObject* watched, QEvent* event)
{
    // What was typed into the box is written before the operator goes on:
    // the pause before the next write may never come.
    if (event->type() == QEvent::FocusOut && m_unwritten) {
        keep();
    }
    return QObject::eventFilter(watched, event);
}

bool SheetDrafts::differs(const ExamRecord& texts) const
{
    for (const BoxDef& def : FieldMap::boxes()) {
        const QString& start = m_start[def.field];
        // The date the program fills into an empty date box is no typing.
        if (texts[def.field] != start && !(def.field == Field::ExamDate && start.isEmpty())) {
            return true;
        }
    }
    return false;
}

void SheetDrafts::keep()
{
    m_timer.stop();
    if (!m_unwritten || !m_on) {
        return;
    }
    m_unwritten = false;
    const ExamRecord texts = m_sheet->record();
    QString error;
    if (!differs(texts)) {
        if (m_draft.id > 0) {
            if (!m_store.remove(m_draft.id, &error)) {
                fail(error);
                return;
            }
            m_draft.id = 0;
            emit changed();
        }
        return;
    }
    m_draft.record = texts;
    // Saved, the sheet would update the saver's record only under its key.
    const std::optional<ExamRecord>& stored = m_saver.stored();
    m_draft.typedOver = stored && stored->key() == texts.key() ? stored : std::nullopt;
    m_draft.typedOverUnknown = false;
    if (!m_store.write(m_draft, &error)) {
        fail(error);
        return;
    }
    emit changed();
}

SheetDrafts::Replacement::Replacement(SheetDrafts& drafts) : m_drafts(drafts)
{
    if (m_drafts.m_replacing++ == 0) {
        m_drafts.keep();
    }
}

SheetDrafts::Replacement::~Replacement()
{
    if (--m_drafts.m_replacing == 0) {
        m_drafts.startOver();
    }
}

void SheetDrafts::startOver()
{
    m_timer.stop();
    m_unwritten = false;
    m_start = m_sheet->record();
    m_draft = {};
}

void SheetDrafts::saved()
{
    if (m_draft.id > 0 && m_on) {
        QString error;
        if (!m_store.remove(m_draft.id, &error)) {
            fail(error);
        }
        emit changed();
    }
    startOver();
}

bool SheetDrafts::restore(qint64 id, QString* error)
{
    keep();
    std::optional<Draft> draft = m_store.read(id, error);
    if (!draft) {
        return false;
    }
    ++m_replacing;
    m_sheet->setRecord(draft->record);
    --m_replacing;
    const QString& key = draft->record.key();
    if (draft->typedOverUnknown) {
        ExamRecord stored;
        if (RecordStore::load(key, stored)) {
            draft->typedOver = stored;
        }
        draft->typedOverUnknown = false;
    }
    ExamRecord start;
    if (draft->typedOver) {
        start = *draft->typedOver;
        m_saver.setLoaded(*draft->typedOver);
    } else {
        start[Field::Key] = key;
        m_saver.setNew();
    }
    m_timer.stop();
    m_unwritten = false;
    m_start = start;
    m_draft = *draft;
    return true;
}

bool SheetDrafts::remove(qint64 id, QString* error)
{
    if (!m_store.remove(id, error)) {
        return false;
    }
    if (id == m_draft.id) {
        // What the sheet shows now is no longer kept unless typed on.
        m_draft.id = 0;
        m_unwritten = false;
        m_timer.stop();
    }
    emit changed();
    return true;
}

std::vector<Draft> SheetDrafts::list(QString* error) const
{
    std::vector<Draft> drafts;
    m_store.list(drafts, error);
    return drafts;
}

DraftsLeftOpen SheetDrafts::takeLeftOpen()
{
    if (m_leftOpenTold) {
        return {};
    }
    m_leftOpenTold = true;
    return m_store.leftOpen();
}

void SheetDrafts::closeCleanly()
{
    keep();
    m_on = false;
    m_timer.stop();
    m_store.closeCleanly();
}

} // namespace brenvoll
