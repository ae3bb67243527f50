#include "tools/SimState.h"

#include "serial/ConfigHome.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <unistd.h>

namespace zuvexsim {

ConfigImage factoryImage() {
    ConfigImage image{};
    for (int p = 0; p < 4; ++p) {
        image[ImageOffset::Berecht + p] = BerechtBit::vab | BerechtBit::tb | BerechtBit::arb;
        image[ImageOffset::TasteRuf + p] = 0x0F;
    }
    image[ImageOffset::Heranholen] = 1;
    image[ImageOffset::Amtsholung] = 1;
    image[ImageOffset::Anklopfschutz] = 0;
    image[ImageOffset::Wartemusik] = 1;
    return image;
}

DeviceMemory factoryMemory() {
    DeviceMemory memory;
    memory.image = factoryImage();
    memory.pin = DefaultPin;
    memory.version = DefaultFirmwareVersion;
    return memory;
}

std::string defaultStatePath(int port) {
    return configHomeDir() + "/sim-state-COM" + std::to_string(port);
}

namespace {

std::string toHex(const std::uint8_t* data, std::size_t size) {
    std::string text;
    char buf[4];
    for (std::size_t i = 0; i < size; ++i) {
        std::snprintf(buf, sizeof buf, i ? " %02X" : "%02X", data[i]);
        text += buf;
    }
    return text;
}

bool fromHex(const std::string& text, std::vector<std::uint8_t>& bytes) {
    std::istringstream in(text);
    std::string item;
    while (in >> item) {
        if (item.size() != 2 || !std::isxdigit(static_cast<unsigned char>(item[0])) ||
            !std::isxdigit(static_cast<unsigned char>(item[1])))
            return false;
        bytes.push_back(static_cast<std::uint8_t>(std::stoi(item, nullptr, 16)));
    }
    return true;
}

} // namespace

bool isPin(const std::string& pin) {
    if (pin.size() != 4)
        return false;
    for (char c : pin)
        if (c < '0' || c > '9')
            return false;
    return true;
}


bool loadState(const std::string& path, DeviceMemory& memory, std::string& error) {
    std::ifstream in(path);
    if (!in) {
        error = path + ": " + std::strerror(errno);
        return false;
    }
    DeviceMemory loaded;
    bool haveImage = false, havePin = false, haveVersion = false;
    std::string line;
    int lineNo = 0;
    while (std::getline(in, line)) {
        ++lineNo;
        if (line.empty() || line[0] == '#')
            continue;
        const auto eq = line.find('=');
        const std::string key = line.substr(0, eq);
        const std::string value = eq == std::string::npos ? std::string() : line.substr(eq + 1);
        std::vector<std::uint8_t> bytes;
        bool ok = eq != std::string::npos;
        if (ok && key == "image") {
            ok = fromHex(value, bytes) && bytes.size() == loaded.image.size();
            if (ok)
                std::copy(bytes.begin(), bytes.end(), loaded.image.begin());
            haveImage = ok;
        } else if (ok && key == "pin") {
            ok = havePin = isPin(value);
            loaded.pin = value;
        } else if (ok && key == "version") {
            loaded.version = value;
            haveVersion = true;
        } else if (ok && key == "firmware") {
            ok = fromHex(value, loaded.lastFirmware);
        } else {
            ok = false;
        }
        if (!ok) {
            error = path + ":" + std::to_string(lineNo) + ": invalid line";
            return false;
        }
    }
    if (!haveImage || !havePin || !haveVersion) {
        error = path + ": image, pin or version missing";
        return false;
    }
    memory = std::move(loaded);
    return true;
}

bool saveState(const std::string& path, const DeviceMemory& memory, std::string& error) {
    const std::string temp = path + ".tmp";
    {
        std::ofstream out(temp, std::ios::trunc);
        out << "# Zuvex 910k simulator state\n"
            << "image=" << toHex(memory.image.data(), memory.image.size()) << '\n'
            << "pin=" << memory.pin << '\n'
            << "version=" << memory.version << '\n'
            << "firmware=" << toHex(memory.lastFirmware.data(), memory.lastFirmware.size()) << '\n';
        out.flush();
        if (!out) {
            error = temp + ": " + std::strerror(errno);
            return false;
        }
    }
    if (std::rename(temp.c_str(), path.c_str()) != 0) {
        error = path + ": " + std::strerror(errno);
        ::unlink(temp.c_str());
        return false;
    }
    return true;
}

} // namespace zuvexsim
