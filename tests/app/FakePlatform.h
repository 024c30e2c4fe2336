#pragma once

#include "app/platform/Platform.h"

#include <QStringList>
#include <QUrl>

#include <memory>

// Answers the window's questions from queued replies and records what it was asked.
// The counters live in a shared record so a test can read them after the window,
// which owns the fake, is gone.
struct PlatformRecord {
    QStringList openReplies;      // next file names to give, in order ("" = cancelled)
    QStringList openCaptions;     // captions of the open dialogs shown
    QList<QStringList> openFilters;
    QStringList messages;         // message boxes shown
    QStringList titles;           // their titles ("" = the program's name)
    QList<QUrl> urls;             // pages opened
    bool browserWorks = true;
};

class FakePlatform : public quill::app::Platform {
public:
    explicit FakePlatform(std::shared_ptr<PlatformRecord> record) : m_record(std::move(record)) {}

    QString openPictureFile(QWidget*, const QString& caption, const QStringList& filters) override
    {
        m_record->openCaptions << caption;
        m_record->openFilters << filters;
        return m_record->openReplies.isEmpty() ? QString() : m_record->openReplies.takeFirst();
    }
    QString savePictureFile(QWidget*, const QString&, const QString&, const QStringList&) override { return {}; }
    QString chooseFolder(QWidget*, const QString&, const QString&) override { return {}; }
    void showMessage(QWidget*, const QString& text) override
    {
        m_record->messages << text;
        m_record->titles << QString();
    }
    void showMessage(QWidget*, const QString& text, const QString& title) override
    {
        m_record->messages << text;
        m_record->titles << title;
    }
    bool openUrl(const QUrl& url) override
    {
        m_record->urls << url;
        return m_record->browserWorks;
    }

private:
    std::shared_ptr<PlatformRecord> m_record;
};
