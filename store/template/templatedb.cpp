#include "store/template/templatedb.h"
#include "platform/failures.h"
#include "store/copystore.h"

#include <QFile>
#include <QSaveFile>
#include <QTemporaryDir>
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

Result prepareServerFromTemplate(Database& server, ServerPreparation* done)
{
    return prepareServerDatabase(
        server,
        [](Database& empty) {
            QTemporaryDir folder;
            const QString path = folder.filePath(QStringLiteral("template.dat"));
            Database templateFile;
            QString error;
            if (!folder.isValid() || !writeTemplateDatabase(path, &error)
                || !templateFile.open(path, &error)) {
                Result failed;
                failed.error = QStringLiteral("无法读取程序自带的模板数据库：%1").arg(error);
                return failed;
            }
            return copyStoreRows(templateFile, empty);
        },
        done);
}

} // namespace qv
