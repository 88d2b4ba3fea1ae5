#include "gui/GuiText.h"

#include "base/CodePage.h"

#include <QFile>
#include <QStringDecoder>

namespace venqor::gui {

QString FromCp1251(std::string_view text)
{
    QString out(qsizetype(text.size()), Qt::Uninitialized);
    QChar* to = out.data();
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        *to++ = byte < 0x80 ? QChar(byte) : QChar(Cp1251ToUnicodeTable[byte - 0x80]);
    }
    return out;
}

std::string ToCp1251(const QString& text)
{
    return Utf8ToCp1251(text.toStdString());
}

std::filesystem::path ToPath(const QString& text)
{
    return std::filesystem::path(QFile::encodeName(text).toStdString());
}

QString FromPath(const std::filesystem::path& path)
{
    return QFile::decodeName(QByteArray::fromStdString(path.string()));
}

QString FailureText(const std::exception& failure)
{
    const QByteArray bytes(failure.what());
    QStringDecoder utf8(QStringDecoder::Utf8);
    const QString text = utf8(bytes);
    return utf8.hasError() ? FromCp1251(bytes.toStdString()) : text;
}

} // namespace venqor::gui
