#include "link/port_list.h"

#include <algorithm>

#include "text/conversions.h"

namespace corvina {
namespace {

constexpr std::u16string_view kMakerWord = u"velk";
constexpr std::u16string_view kOldMakerSpelling = u"CoVheron";
constexpr std::u16string_view kMakerSpelling = u"CVheron";

char16_t AsciiLower(char16_t unit) {
    return unit >= u'A' && unit <= u'Z' ? static_cast<char16_t>(unit - u'A' + u'a') : unit;
}

bool EqualsIgnoringAsciiCase(std::u16string_view a, std::u16string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](auto x, auto y) {
               return AsciiLower(x) == AsciiLower(y);
           });
}

std::string Unscore(std::string_view text) {
    std::string out(text);
    std::replace(out.begin(), out.end(), '_', ' ');
    while (!out.empty() && out.back() == ' ') {
        out.pop_back();
    }
    return out;
}

}  // namespace

void SortUniquePorts(std::vector<SerialPortInfo>& ports) {
    std::stable_sort(ports.begin(), ports.end(),
                     [](const auto& a, const auto& b) { return a.portName < b.portName; });
    ports.erase(std::unique(ports.begin(), ports.end(),
                            [](const auto& a, const auto& b) { return a.portName == b.portName; }),
                ports.end());
}

bool IsMakerPort(std::u16string_view description) {
    for (std::size_t i = 0; i + kMakerWord.size() <= description.size(); ++i) {
        if (EqualsIgnoringAsciiCase(description.substr(i, kMakerWord.size()), kMakerWord)) {
            return true;
        }
    }
    return false;
}

void OrderMakerPortsFirst(std::vector<SerialPortInfo>& ports) {
    std::stable_partition(ports.begin(), ports.end(),
                          [](const SerialPortInfo& port) { return IsMakerPort(port.description); });
}

std::u16string SerialPortLabel(std::u16string_view description) {
    std::u16string label(description);
    if (label.size() > kMakerWord.size() && label.front() == u'=' &&
        EqualsIgnoringAsciiCase(std::u16string_view(label).substr(1, kMakerWord.size()),
                                kMakerWord)) {
        label.erase(0, 1);
    }
    const std::size_t old = label.find(kOldMakerSpelling);
    if (old != std::u16string::npos) {
        label.replace(old, kOldMakerSpelling.size(), kMakerSpelling);
    }
    return label;
}

std::size_t SelectionAfterRefresh(const std::vector<SerialPortInfo>& ports,
                                  std::u16string_view previousPortName) {
    for (std::size_t i = 0; i < ports.size(); ++i) {
        if (ports[i].portName == previousPortName) {
            return i;
        }
    }
    return 0;
}

std::u16string FriendlyPortName(std::string_view vendor, std::string_view model,
                                std::u16string_view portName) {
    std::string name = Unscore(vendor);
    const std::string product = Unscore(model);
    if (!product.empty()) {
        name += name.empty() ? product : " " + product;
    }
    if (name.empty()) {
        return std::u16string(portName);
    }
    const std::size_t slash = portName.find_last_of(u'/');
    const std::u16string_view shortName =
        slash == std::u16string_view::npos ? portName : portName.substr(slash + 1);
    return Utf8ToWide(name) + u" (" + std::u16string(shortName) + u")";
}

}  // namespace corvina
