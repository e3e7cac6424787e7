#include "io/ScaleFile.h"

#include <QByteArray>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <fstream>
#include <sstream>

#include "engine/FileNames.h"

namespace morv {

namespace {

constexpr const char* kSuffix = ".scale.json";
/// A scale file is a few hundred bytes; a larger one (a WKT of a few kB at most)
/// is something else under that name.
constexpr std::streamsize kMostBytes = 1 << 20;

[[noreturn]] void malformed(const std::string& path, const std::string& why) {
    throw RuntimeError(err::InvalidPicture, path + " is not a readable scale file: " + why);
}

double metres(const QJsonObject& o, const char* key, const std::string& path, bool mayBeNegative) {
    const QJsonValue v = o.value(key);
    if (v.isUndefined()) malformed(path, std::string("\"") + key + "\" is missing");
    if (!v.isDouble() || !std::isfinite(v.toDouble())) malformed(path, std::string("\"") + key + "\" is not a number");
    if (!mayBeNegative && v.toDouble() < 0) malformed(path, std::string("\"") + key + "\" is negative");
    return v.toDouble();
}

}  // namespace

std::string scalePathFor(const std::string& mapPath) { return withoutExtension(mapPath) + kSuffix; }

bool isScaleFileName(const std::string& path) {
    const std::string suffix = kSuffix;
    if (path.size() <= suffix.size()) return false;
    for (std::size_t i = 0; i < suffix.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(path[path.size() - suffix.size() + i])) != suffix[i]) return false;
    return path[path.size() - suffix.size() - 1] != '/';
}

std::string scaleFileText(const MapScale& s) {
    QJsonObject o;
    o["pixelMetres"] = s.pixelMetres;
    o["levelMetres"] = s.levelMetres;
    o["baseMetres"] = s.baseMetres;
    if (s.isGeoreferenced()) {
        o["crs"] = QString::fromStdString(s.crsWkt);
        QJsonArray g;
        for (double v : s.geoTransform) g.append(v);
        o["geoTransform"] = g;
    }
    return QJsonDocument(o).toJson(QJsonDocument::Indented).toStdString();
}

MapScale parseScaleText(const std::string& text, const std::string& path) {
    QJsonParseError error{};
    const QJsonDocument doc = QJsonDocument::fromJson(QByteArray::fromStdString(text), &error);
    if (error.error != QJsonParseError::NoError)
        malformed(path, "not JSON (" + error.errorString().toStdString() + " at byte " + std::to_string(error.offset) + ")");
    if (!doc.isObject()) malformed(path, "not a JSON object");
    const QJsonObject o = doc.object();
    MapScale s;
    s.pixelMetres = metres(o, "pixelMetres", path, false);
    s.levelMetres = metres(o, "levelMetres", path, false);
    s.baseMetres = metres(o, "baseMetres", path, true);
    if (const QJsonValue crs = o.value("crs"); !crs.isUndefined()) {
        if (!crs.isString()) malformed(path, "\"crs\" is not text");
        s.crsWkt = crs.toString().toStdString();
    }
    if (const QJsonValue g = o.value("geoTransform"); !g.isUndefined()) {
        const QJsonArray a = g.toArray();
        if (!g.isArray() || a.size() != 6) malformed(path, "\"geoTransform\" is not six numbers");
        for (qsizetype i = 0; i < 6; ++i) {
            if (!a[i].isDouble() || !std::isfinite(a[i].toDouble()))
                malformed(path, "\"geoTransform\" is not six numbers");
            s.geoTransform[std::size_t(i)] = a[i].toDouble();
        }
    }
    return s;
}

std::optional<MapScale> readScaleFile(const std::string& mapPath) {
    const std::string path = scalePathFor(mapPath);
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) {
        if (errno == ENOENT) return std::nullopt;
        throw fileError(path, errno);
    }
    // A FIFO or device under that name would hang or feed the reader forever.
    if (!S_ISREG(st.st_mode)) malformed(path, notRegularFileReason(st.st_mode));
    std::ifstream in(path, std::ios::binary);
    if (!in) throw fileError(path, errno);
    std::string text(std::size_t(kMostBytes) + 1, '\0');
    in.read(text.data(), kMostBytes + 1);
    if (in.bad()) throw fileError(path, errno);
    text.resize(std::size_t(in.gcount()));
    if (std::streamsize(text.size()) > kMostBytes) malformed(path, "larger than 1 MiB");
    return parseScaleText(text, path);
}

FileContent scaleFileFor(const std::string& mapPath, const MapScale& scale) {
    return {scalePathFor(mapPath), scaleFileText(scale)};
}

void writeScaleFile(const std::string& mapPath, const MapScale& scale, Existing existing) {
    writeFilesSafely({scaleFileFor(mapPath, scale)}, existing);
}

void dropScaleFile(const std::string& mapPath) noexcept {
    try {
        const std::string path = scalePathFor(mapPath);
        struct stat st {};
        if (::lstat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && readScaleFile(mapPath)) ::unlink(path.c_str());
    } catch (...) {
    }
}

}  // namespace morv
