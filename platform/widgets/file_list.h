#pragma once

#include "platform/widgets/folder_reading.h"

#include <QListWidget>
#include <QStringList>

namespace tessaro {

// The names (without folder) of the files in one folder that match a pattern such as
// "*.bmp;*.jpg;*.gif", matched and sorted without regard to case as Windows does.
class FileList : public QListWidget {
    Q_OBJECT
public:
    explicit FileList(QWidget* parent = nullptr);
    ~FileList() override;

    // Empty until the list is first given a folder.
    QString path() const { return m_path; }
    // Lists the matching files of `path`. False, with nothing changed, when it is not a folder.
    // The folder is read on a worker; the list is filled when this returns, unless the folder
    // holds more entries (of any kind) than EntriesReadAtOnce or its volume is slower than
    // WaitOnTheSpot: then it is empty until the worker has read them all (or stays empty,
    // should the volume not answer in time), the window answering meanwhile.
    bool setPath(const QString& path);

    // Whether a folder is still being read: the list is empty until it has been.
    bool filling() const { return m_reading.busy(); }

    QString pattern() const { return m_pattern; }
    void setPattern(const QString& pattern);

    // The selected entry, -1 when none is. Focus alone makes an entry current, not selected.
    int listIndex() const;
    void setListIndex(int index);
    QString entry(int index) const;

    // False for a name that could only be shown approximately (bytes the locale cannot
    // decode): it does not lead back to its file.
    bool entryExact(int index) const;

    // Whether `name` matches one of the semicolon-separated wildcards of `pattern`
    // (* and ?), without regard to case.
    static bool matches(QStringView name, QStringView pattern);

Q_SIGNALS:
    // The selection changed, by the user or by code: an entry was selected, or none is now.
    void clicked();

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    bool read(const QString& folder);
    void fill(const FolderEntries& entries);

    QString m_path;
    QString m_pattern = QStringLiteral("*.*");
    FolderReading m_reading;
    bool m_found = false;
};

} // namespace tessaro
