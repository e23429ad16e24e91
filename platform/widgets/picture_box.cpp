#include "platform/widgets/picture_box.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QImageReader>
#include <QPainter>

namespace tessaro {
namespace {

// The messages' translation context.
struct Text {
    Q_DECLARE_TR_FUNCTIONS(tessaro::PictureBox)
};

// libjpeg reports a file that ends early only as a warning and fills the rest of the
// picture with grey; Qt passes the warning to the message handler. Catching it here turns
// a truncated photograph into an error instead of a half-grey preview. Other warnings
// (extraneous bytes before a marker, common in cameras' files) leave the picture whole.
class TruncationWatch {
public:
    TruncationWatch()
    {
        s_truncated = false;
        s_previous = qInstallMessageHandler(&handler);
    }
    ~TruncationWatch() { qInstallMessageHandler(s_previous); }
    TruncationWatch(const TruncationWatch&) = delete;
    TruncationWatch& operator=(const TruncationWatch&) = delete;

    bool truncated() const { return s_truncated; }

private:
    static void handler(QtMsgType type, const QMessageLogContext& context, const QString& message)
    {
        if (message.contains(QLatin1String("Premature end of JPEG file"), Qt::CaseInsensitive)
            || message.contains(QLatin1String("premature end of data segment"), Qt::CaseInsensitive))
            s_truncated = true;
        else if (s_previous)
            s_previous(type, context, message);
    }

    static inline bool s_truncated = false;
    static inline QtMessageHandler s_previous = nullptr;
};

QString reasonFor(QImageReader::ImageReaderError error)
{
    switch (error) {
    case QImageReader::FileNotFoundError:
        return Text::tr("ファイルが見つかりません。");
    case QImageReader::DeviceError:
        return Text::tr("ファイルを読み込めません。");
    case QImageReader::UnsupportedFormatError:
        return Text::tr("画像ファイルではないか、対応していない形式です。");
    case QImageReader::InvalidDataError:
        return Text::tr("画像のデータが壊れています。");
    case QImageReader::UnknownError:
        break;
    }
    return Text::tr("画像を読み込めません。");
}

} // namespace

LoadedPicture loadPicture(const QString& path, QSize size)
{
    const QFileInfo info(path);
    if (!info.exists())
        return {{}, Text::tr("ファイルが見つかりません。")};
    if (!info.isReadable())
        return {{}, Text::tr("ファイルを読み込む権限がありません。")};
    if (info.size() == 0)
        return {{}, Text::tr("ファイルが空です。")};

    QImageReader reader(path);
    reader.setAutoTransform(false);
    if (size.isValid() && !size.isEmpty())
        reader.setScaledSize(size);

    QImage image;
    bool truncated = false;
    {
        const TruncationWatch watch;
        image = reader.read();
        truncated = watch.truncated();
    }
    if (image.isNull())
        return {{}, reasonFor(reader.error())};
    if (truncated)
        return {{}, Text::tr("ファイルが途中で切れています。")};
    return {std::move(image), {}};
}

PictureBox::PictureBox(QWidget* parent)
    : QFrame(parent)
{
    setFrameStyle(QFrame::Box | QFrame::Plain);
    setLineWidth(1);
}

QSize PictureBox::pictureSize() const
{
    return contentsRect().size() * devicePixelRatio();
}

void PictureBox::setPicture(const QImage& image)
{
    m_image = image;
    update();
}

void PictureBox::clear()
{
    m_image = QImage();
    update();
}

void PictureBox::paintEvent(QPaintEvent* event)
{
    QFrame::paintEvent(event);
    if (m_image.isNull())
        return;
    QPainter painter(this);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(contentsRect(), m_image);
}

} // namespace tessaro
