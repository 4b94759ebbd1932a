#pragma once
// What the emulator needs to know of the device reports: their lengths, where
// their header and checksum lie, which request code asks for which image, and
// the factory images: answered from the report catalogue of common/reports.h
// and the key catalogue; only what the keyboard itself decides (where an
// illumination record goes, the factory images of the reports without
// defaults there) is the emulator's own.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace vyre::sim {

// Total length of a feature report, 0 for an id the keyboard does not know.
std::size_t FeatureLength(std::uint8_t id);

// True for the reports closed by a checksum (at the end, or after the last
// event for the macro layout of reports 0x0E and 0x19).
bool CarriesChecksum(std::uint8_t id);

// True when the report is kept per profile (0x0E per profile and slot, 0x17
// per profile, illumination mode and layer).
bool IsPerProfile(std::uint8_t id);

// Offset of the profile byte of a per-profile report.
std::size_t ProfileOffset(std::uint8_t id);

// True when the checksum of the image is where it belongs and right.
bool ChecksumValid(const std::uint8_t* image, std::size_t length);

// True when the header (length field, profile, slot, mode and layer) is
// well formed.
bool HeaderValid(const std::uint8_t* image, std::size_t length);

// The image a request code of report 4 asks for.
struct RequestTarget {
    std::uint8_t id = 0;
    int index = 0;  // macro slot for 0x0E, mode * 11 + layer for 0x17, else 0
};
std::optional<RequestTarget> DecodeRequest(std::uint8_t code);

// Number of images a profile holds of a report (112 macros, 22 illumination
// records, else 1); 1 for global reports.
int ImagesPerProfile(std::uint8_t id);

// True when (mode * 11 + layer) names an illumination record the keyboard
// keeps: mode 0 only for layers 0, 9 and 10.
bool IlluminationRecordExists(int index);

// The factory image of a report for a profile and index, header and
// checksum included; the Flexlayer record depends on the layout code.
std::vector<std::uint8_t> FactoryImage(std::uint8_t id, int profile, int index, int layoutCode);

}  // namespace vyre::sim
