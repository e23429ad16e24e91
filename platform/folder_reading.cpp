#include "platform/folder_reading.h"

#include <QCoreApplication>
#include <QPointer>
#include <QThreadPool>

namespace tessaro {

QThreadPool* folderReaderPool()
{
    static QPointer<QThreadPool> pool;
    if (!pool)
        pool = new QThreadPool(QCoreApplication::instance());
    return pool;
}

} // namespace tessaro
