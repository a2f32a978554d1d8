// The interface settings of a window, held in plain fields, with a journal of what was set.
#pragma once

#include "RegistrySettings.h"

#include <array>
#include <string>
#include <vector>

namespace qvtest {

class FakeWindow : public qv::InterfaceSettings {
public:
    struct Band {
        bool startsRow = false;
        std::int32_t width = 0;
        std::string control;
    };

    std::int32_t width = 583, height = 433;
    std::array<std::array<std::int32_t, ColumnCount>, 2> columns{};
    std::array<Band, BandCount> bands{};
    std::vector<std::string> journal; // "width", "column Source 2", "band 3 control", ...

    std::int32_t WindowWidth() const override { return width; }
    std::int32_t WindowHeight() const override { return height; }
    void SetWindowWidth(std::int32_t w) override {
        width = w;
        journal.push_back("width");
    }
    void SetWindowHeight(std::int32_t h) override {
        height = h;
        journal.push_back("height");
    }
    std::int32_t ColumnWidth(List list, int column) const override {
        return columns[Index(list)][static_cast<std::size_t>(column)];
    }
    void SetColumnWidth(List list, int column, std::int32_t w) override {
        columns[Index(list)][static_cast<std::size_t>(column)] = w;
        journal.push_back(std::string("column ") + (list == List::Source ? "Source " : "Crypted ") +
                          std::to_string(column));
    }
    bool BandBreak(int band) const override { return At(band).startsRow; }
    void SetBandBreak(int band, bool startsRow) override {
        bands[static_cast<std::size_t>(band)].startsRow = startsRow;
        journal.push_back("band " + std::to_string(band) + " break");
    }
    std::int32_t BandWidth(int band) const override { return At(band).width; }
    void SetBandWidth(int band, std::int32_t w) override {
        bands[static_cast<std::size_t>(band)].width = w;
        journal.push_back("band " + std::to_string(band) + " width");
    }
    std::string BandControl(int band) const override { return At(band).control; }
    void PutControlInBand(int band, const std::string& name) override {
        bands[static_cast<std::size_t>(band)].control = name;
        journal.push_back("band " + std::to_string(band) + " control");
    }

private:
    static std::size_t Index(List list) { return list == List::Source ? 0 : 1; }
    const Band& At(int band) const { return bands[static_cast<std::size_t>(band)]; }
};

} // namespace qvtest
