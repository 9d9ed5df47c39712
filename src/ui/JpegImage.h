#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>

namespace kv::ui {

// Decodes a JPEG file held in memory with libjpeg. Qt's own image plugins are not used so
// that the picture does not depend on which plugins a machine has installed.
class JpegImage {
public:
    // A null image when the bytes are not a JPEG that libjpeg can read; `error` then
    // receives libjpeg's message.
    static QImage Decode(const QByteArray& bytes, QString* error = nullptr);
};

}  // namespace kv::ui
