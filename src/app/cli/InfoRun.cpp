// morv-cli info: the facts of each map, as lines or JSON.
#include <QJsonArray>
#include <QJsonDocument>
#include <QString>
#include <string>
#include <vector>

#include "analysis/BaseLevel.h"
#include "analysis/ColourRange.h"
#include "app/cli/CliHost.h"
#include "io/Files.h"
#include "io/ImageIO.h"

namespace morv::cli {

std::string jsonString(const std::string& text) {
    // Qt writes an object's keys sorted, and info keeps its own order of fields,
    // so only each string goes through the writer, as the one item of an array.
    const QByteArray item = QJsonDocument(QJsonArray{QString::fromUtf8(text)}).toJson(QJsonDocument::Compact);
    return item.mid(1, item.size() - 2).toStdString();
}

namespace {

/// The facts info prints, as "key: value" lines or as one JSON object.
std::string describeMap(const std::string& input, const Options& o, bool named) {
    const bool json = o.json;
    MapApp m;
    const std::string contourPath = contourPathFor(input);
    const bool hasContour = fileExists(m.app, contourPath);
    const auto [image, contour, mapping] = loadPair(input, contourPath, hasContour, o);
    GreyRange range;
    scanGreyRange(*image, range, nullptr);
    std::optional<int> base;
    if (contour) {
        ContourSum sum;
        sumUnderContours(*image, *contour, sum, nullptr);
        base = sum.average();
    }
    const std::string w = std::to_string(image->width()), h = std::to_string(image->height());
    const std::string high = std::to_string(range.high), low = std::to_string(range.low);
    if (json)
        return "{\"map\": " + jsonString(input) + ", \"width\": " + w + ", \"height\": " + h + ", \"high\": " + high +
               ", \"low\": " + low + ", \"contour\": " + (hasContour ? jsonString(contourPath) : "null") +
               ", \"base\": " + (base ? std::to_string(*base) : "null") +
               (mapping ? ", \"levels\": " + jsonString(describeMapping(*mapping)) : std::string()) + "}";
    return (named ? "map: " + oneLine(input) + "\n" : std::string()) + "width: " + w + "\nheight: " + h + "\nhigh: " + high +
           "\nlow: " + low + "\ncontour: " + (hasContour ? oneLine(contourPath) : "none") +
           "\nbase: " + (base ? std::to_string(*base) : "none") + "\n" +
           (mapping ? "levels: " + describeMapping(*mapping) + "\n" : std::string());
}

}  // namespace

int runInfo(const Options& o, const std::vector<BatchInput>& inputs, const std::vector<std::string>& maps,
            BatchReport& report, unsigned jobs) {
    // An INPUT named twice is one map: what counts is the inputs once sorted.
    const bool several = inputs.size() > 1;
    report.doneWord = "read";
    // Several maps: a JSON array, or blocks of lines parted by an empty line.
    struct Framing {
        std::string before, between, after;
    };
    const Framing framing = !several ? Framing{} : o.json ? Framing{"[\n", ",\n", "\n]\n"} : Framing{"", "\n", ""};
    report.before = framing.before;
    report.between = framing.between;
    report.after = framing.after;
    MemoryShare memory(pictureMemoryBudget(), maps.size());
    return runBatch(inputs, jobs, report, 1, [&](std::size_t i, const std::string& input, MapProgress&) {
        MapOutcome outcome = outcomeOf([&] {
            return withMemoryShare(memory, i, input, o, [&] {
                return describeMap(input, o, several) + (o.json && !several ? "\n" : "");
            });
        });
        memory.pass(i);  // a map that failed before taking its share gives its turn up
        return outcome;
    });
}

}  // namespace morv::cli
