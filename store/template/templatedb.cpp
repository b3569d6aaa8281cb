#include "store/template/templatedb.h"
#include "platform/failures.h"

#include <QFile>
#include <QSaveFile>
#include <cerrno>
#include <cstddef>

namespace qv {

extern const unsigned char kTemplateImage[];
extern const std::size_t kTemplateImageSize;

QByteArray templateImage()
{
    return QByteArray::fromRawData(
        reinterpret_cast<const char*>(kTemplateImage), qsizetype(kTemplateImageSize));
}

bool writeTemplateDatabase(const QString& path, QString* error)
{
    if (QFile::exists(path)) {
        if (error)
            *error = QStringLiteral("文件已存在");
        return false;
    }
    QSaveFile file(path);
    const QByteArray image = templateImage();
    errno = 0;
    if (!file.open(QIODevice::WriteOnly) || file.write(image) != image.size() || !file.commit()) {
        const int savedErrno = errno;
        if (error)
            *error = explainFileFailure(path, file.errorString(), savedErrno);
        return false;
    }
    return true;
}

} // namespace qv
