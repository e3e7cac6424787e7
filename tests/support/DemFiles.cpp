#include "support/DemFiles.h"

#include <gdal.h>
#include <gtest/gtest.h>
#include <ogr_spatialref.h>

#include <vector>

namespace morv::test {

Dem dem(std::function<double(double, double)> heightAt, const std::function<void(Dem&)>& set) {
    Dem d;
    d.heightAt = std::move(heightAt);
    if (set) set(d);
    return d;
}

void writeDem(const std::string& path, const Dem& d) {
    static const bool registered = (GDALAllRegister(), true);
    (void)registered;
    const bool hgt = d.driver == "SRTMHGT";
    GDALDatasetH mem = GDALCreate(GDALGetDriverByName("MEM"), "", d.width, d.height, 1, hgt ? GDT_Int16 : GDT_Float32,
                                  nullptr);
    ASSERT_NE(mem, nullptr);
    double gt[6] = {d.originX, d.pixelX, 0, d.originY, 0, d.pixelY};
    GDALSetGeoTransform(mem, gt);
    OGRSpatialReference srs;
    srs.importFromEPSG(d.epsg);
    GDALSetSpatialRef(mem, OGRSpatialReference::ToHandle(&srs));
    GDALRasterBandH band = GDALGetRasterBand(mem, 1);
    if (d.noData) GDALSetRasterNoDataValue(band, *d.noData);
    if (!d.unit.empty()) GDALSetRasterUnitType(band, d.unit.c_str());
    std::vector<float> row(std::size_t(d.width));
    for (int y = 0; y < d.height; ++y) {
        for (int x = 0; x < d.width; ++x)
            row[std::size_t(x)] = float(d.heightAt(d.originX + (x + 0.5) * d.pixelX, d.originY + (y + 0.5) * d.pixelY));
        ASSERT_EQ(GDALRasterIO(band, GF_Write, 0, y, d.width, 1, row.data(), d.width, 1, GDT_Float32, 0, 0), CE_None);
    }
    std::vector<const char*> options;
    for (const std::string& o : d.options) options.push_back(o.c_str());
    options.push_back(nullptr);
    GDALDatasetH out = GDALCreateCopy(GDALGetDriverByName(d.driver.c_str()), path.c_str(), mem, FALSE,
                                      const_cast<char**>(options.data()), nullptr, nullptr);
    GDALClose(mem);
    ASSERT_NE(out, nullptr) << CPLGetLastErrorMsg();
    if (!d.overviewHeights.empty()) {
        std::vector<int> factors;
        for (std::size_t k = 0; k < d.overviewHeights.size(); ++k) factors.push_back(2 << k);
        ASSERT_EQ(GDALBuildOverviews(out, "NEAREST", int(factors.size()), factors.data(), 0, nullptr, nullptr, nullptr),
                  CE_None);
        for (std::size_t k = 0; k < d.overviewHeights.size(); ++k) {
            GDALRasterBandH ov = GDALGetOverview(GDALGetRasterBand(out, 1), int(k));
            const int w = GDALGetRasterBandXSize(ov), h = GDALGetRasterBandYSize(ov);
            std::vector<float> all(std::size_t(w) * std::size_t(h), float(d.overviewHeights[k]));
            ASSERT_EQ(GDALRasterIO(ov, GF_Write, 0, 0, w, h, all.data(), w, h, GDT_Float32, 0, 0), CE_None);
        }
    }
    GDALClose(out);
}

void writeSparseDem(const std::string& path, const Dem& d) {
    static const bool registered = (GDALAllRegister(), true);
    (void)registered;
    std::vector<const char*> options{"TILED=YES", "SPARSE_OK=TRUE", "BIGTIFF=YES"};
    for (const std::string& o : d.options) options.push_back(o.c_str());
    if (d.options.empty()) options.insert(options.end(), {"BLOCKXSIZE=4096", "BLOCKYSIZE=4096"});
    options.push_back(nullptr);
    GDALDatasetH out = GDALCreate(GDALGetDriverByName("GTiff"), path.c_str(), d.width, d.height, 1, GDT_Float32,
                                  const_cast<char**>(options.data()));
    ASSERT_NE(out, nullptr) << CPLGetLastErrorMsg();
    double gt[6] = {d.originX, d.pixelX, 0, d.originY, 0, d.pixelY};
    GDALSetGeoTransform(out, gt);
    OGRSpatialReference srs;
    srs.importFromEPSG(d.epsg);
    GDALSetSpatialRef(out, OGRSpatialReference::ToHandle(&srs));
    GDALClose(out);
}

}  // namespace morv::test
