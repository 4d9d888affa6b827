#include "port_report.h"

#include <algorithm>
#include <sstream>

#include "digits.h"
#include "ppdev_port.h"
#include "raw_port.h"
#include "system_calls.h"

namespace dravel::port {
namespace {

constexpr unsigned long long kIoResource = 0x100;
constexpr unsigned kParallelClass = 0x0701;

std::vector<std::string> split(const std::string& text, char separator) {
    std::vector<std::string> parts;
    std::string part;
    std::istringstream stream(text);
    while (std::getline(stream, part, separator)) {
        while (!part.empty() && (part.back() == '\n' || part.back() == ' ')) part.pop_back();
        if (!part.empty()) parts.push_back(part);
    }
    return parts;
}

std::optional<unsigned long long> number(std::string_view text, int base) {
    while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) text.remove_suffix(1);
    if (base == 16 && text.substr(0, 2) == "0x") text.remove_prefix(2);
    return parseDigits(text, base, ~0ULL);
}

// The kernel writes -1 for "none".
int numberOrNone(SystemCalls& system, const std::string& path) {
    const auto text = system.readFile(path);
    if (!text) return -1;
    const auto value = number(*text, 10);
    return value && *value < 256 ? int(*value) : -1;
}

bool moduleLoaded(SystemCalls& system, const std::string& name) {
    if (const auto modules = system.readFile("/proc/modules")) {
        for (const auto& line : split(*modules, '\n')) {
            if (line.rfind(name + " ", 0) == 0) return true;
        }
    }
    return !system.listDirectory("/sys/module/" + name).empty();
}

// The value after "Key:" in /proc/self/status, split at white space.
std::vector<std::string> statusField(const std::string& status, const std::string& key) {
    const auto at = status.find("\n" + key + ":");
    if (at == std::string::npos) return {};
    const auto end = status.find('\n', at + 1);
    std::istringstream stream(status.substr(at + key.size() + 2, end - at - key.size() - 2));
    std::vector<std::string> words;
    for (std::string word; stream >> word;) words.push_back(word);
    return words;
}

// A line "name:x:id:members" of /etc/group or "name:x:uid:…" of /etc/passwd.
std::vector<std::string> entryWithId(SystemCalls& system, const std::string& file, unsigned id) {
    const auto text = system.readFile(file);
    if (!text) return {};
    for (const auto& line : split(*text, '\n')) {
        std::vector<std::string> fields;
        std::string field;
        std::istringstream stream(line);
        while (std::getline(stream, field, ':')) fields.push_back(field);
        if (fields.size() >= 3 && number(fields[2], 10) == id) return fields;
    }
    return {};
}

struct User {
    unsigned uid = ~0u;
    std::vector<unsigned> groups;  // the effective group and the supplementary ones
    std::string name;
};

User thisUser(SystemCalls& system) {
    User user;
    const auto status = system.readFile("/proc/self/status");
    if (!status) return user;
    const std::string text = "\n" + *status;
    const auto uid = statusField(text, "Uid");
    if (uid.size() > 1) user.uid = unsigned(number(uid[1], 10).value_or(~0u));
    const auto gid = statusField(text, "Gid");
    if (gid.size() > 1) user.groups.push_back(unsigned(number(gid[1], 10).value_or(~0u)));
    for (const auto& group : statusField(text, "Groups")) {
        if (const auto id = number(group, 10)) user.groups.push_back(unsigned(*id));
    }
    const auto passwd = entryWithId(system, "/etc/passwd", user.uid);
    if (!passwd.empty()) user.name = passwd[0];
    return user;
}

void examineNode(SystemCalls& system, const User& user, PortReport::Port& port) {
    const auto status = system.fileStatus(port.port.device());
    if (!status) return;
    const auto group = entryWithId(system, "/etc/group", status->gid);
    port.group = group.empty() ? std::to_string(status->gid) : group[0];
    if (port.device != PortReport::Device::Denied) return;
    const bool groupMayWrite = (status->mode & 060) == 060 && status->gid != 0;
    const bool member =
        std::find(user.groups.begin(), user.groups.end(), status->gid) != user.groups.end();
    const std::vector<std::string> listed =
        group.size() > 3 ? split(group[3], ',') : std::vector<std::string>{};
    const bool listedMember =
        !user.name.empty() && std::find(listed.begin(), listed.end(), user.name) != listed.end();
    if (!groupMayWrite) {
        port.denial = PortReport::Denial::NoGroupAccess;
    } else if (!member && listedMember) {
        port.denial = PortReport::Denial::GroupNotActive;
    } else {
        port.denial = PortReport::Denial::NotInGroup;
    }
}

std::vector<PortReport::Card> pciCards(SystemCalls& system,
                                       const std::vector<PortReport::Port>& ports) {
    static const std::string kDevices = "/sys/bus/pci/devices/";
    std::vector<PortReport::Card> cards;
    auto slots = system.listDirectory(kDevices);
    std::sort(slots.begin(), slots.end());
    for (const auto& slot : slots) {
        const auto text = system.readFile(kDevices + slot + "/class");
        const auto deviceClass = text ? number(*text, 16) : std::nullopt;
        if (!deviceClass || (*deviceClass >> 8) != kParallelClass) continue;
        PortReport::Card card{slot, {}, false};
        if (const auto resource = system.readFile(kDevices + slot + "/resource")) {
            card.ranges = parsePciIoRanges(*resource);
        }
        for (const auto& range : card.ranges) {
            for (const auto& port : ports) {
                if (range.contains(port.port.base)) card.kernelPort = true;
            }
        }
        cards.push_back(card);
    }
    return cards;
}

// Reading only.
void readEcr(SystemCalls& system, PortReport::Port& port) {
    const unsigned base = port.port.base;
    if (base > 0xFFFF - kEcrOffset) return;
    const auto ecr = static_cast<std::uint16_t>(base + kEcrOffset);
    const auto control = static_cast<std::uint16_t>(base + 2);
    if (system.ioperm(ecr, 1, true) != 0) return;
    if (system.ioperm(control, 1, true) != 0) {
        system.ioperm(ecr, 1, false);
        return;
    }
    const std::uint8_t value = system.inb(ecr);
    const std::uint8_t controlValue = system.inb(control);
    system.ioperm(control, 1, false);
    system.ioperm(ecr, 1, false);
    if (!ecrPresent(value, controlValue)) {
        port.ecr = PortReport::Ecr::Absent;
        return;
    }
    port.ecr = PortReport::Ecr::Present;
    port.ecrMode = value >> 5;
}

}  // namespace

bool ecrPresent(std::uint8_t ecr, std::uint8_t control) {
    return ecr != 0xFF && (ecr & 0x03) == 0x01 && ecr != control;
}

std::optional<int> setEcrMode(Backend& port, std::uint16_t base, int mode) {
    if (base > 0xFFFF - kEcrOffset) return std::nullopt;
    const auto ecr = static_cast<std::uint16_t>(base + kEcrOffset);
    const std::uint8_t value = port.read(ecr);
    if (!ecrPresent(value, port.read(static_cast<std::uint16_t>(base + 2)))) return std::nullopt;
    port.write(ecr, static_cast<std::uint8_t>(((mode & 0x07) << 5) | (value & 0x1F)));
    return value >> 5;
}

std::vector<IoRange> parsePciIoRanges(std::string_view text) {
    std::vector<IoRange> ranges;
    for (const auto& line : split(std::string(text), '\n')) {
        std::istringstream stream(line);
        std::string start, end, flags;
        if (!(stream >> start >> end >> flags)) continue;
        const auto first = number(start, 16);
        const auto last = number(end, 16);
        const auto kind = number(flags, 16);
        if (!first || !last || !kind || !(*kind & kIoResource)) continue;
        if (*last > 0xFFFF || *last < *first || *last == 0) continue;
        ranges.push_back({std::uint16_t(*first), std::uint16_t(*last)});
    }
    return ranges;
}

bool PortReport::realPortUsable() const {
    for (const auto& port : ports) {
        if (port.device == Device::Allowed && !port.printerDriverHolds) return true;
    }
    return rawIo == RawIo::Allowed && (!ports.empty() || !cards.empty());
}

PortReport examinePorts(SystemCalls& system) {
    PortReport report;
    const User user = thisUser(system);
    report.root = user.uid == 0;
    for (const auto& port : kernelPorts(system)) {
        const std::string device = port.device();
        PortReport::Device access = PortReport::Device::Missing;
        if (system.exists(device)) {
            access = system.mayReadWrite(device) ? PortReport::Device::Allowed
                                                 : PortReport::Device::Denied;
        }
        const std::string proc = "/proc/sys/dev/parport/" + port.name + "/";
        PortReport::Port entry;
        entry.port = port;
        entry.device = access;
        entry.printerDriverHolds = printerDriverHolds(system, port);
        if (const auto modes = system.readFile(proc + "modes")) entry.modes = split(*modes, ',');
        entry.irq = numberOrNone(system, proc + "irq");
        entry.dma = numberOrNone(system, proc + "dma");
        examineNode(system, user, entry);
        report.ports.push_back(entry);
    }
    report.parportPcLoaded = moduleLoaded(system, "parport_pc");
    // Built into the kernel, ppdev shows only by its nodes.
    report.ppdevLoaded = moduleLoaded(system, "ppdev") ||
                         std::any_of(report.ports.begin(), report.ports.end(), [](const auto& p) {
                             return p.device != PortReport::Device::Missing;
                         });
    report.lpLoaded = moduleLoaded(system, "lp");
    report.cards = pciCards(system, report.ports);
    for (const auto& name : system.listDirectory("/dev/usb")) {
        if (name.rfind("lp", 0) == 0) report.usbPrinters.push_back("/dev/usb/" + name);
    }
    std::sort(report.usbPrinters.begin(), report.usbPrinters.end());
    report.lockdown = kernelLockdown(system);
    if (lockdownForbidsRawIo(report.lockdown)) {
        report.rawIo = PortReport::RawIo::ForbiddenByLockdown;
    } else if (hasRawIoCapability(system)) {
        // The verdict follows what --port raw does: ioperm, else /dev/port.
        const bool ioperm = system.ioperm(0x378, 3, true) == 0;
        if (ioperm) {
            system.ioperm(0x378, 3, false);
            for (auto& port : report.ports) readEcr(system, port);
        }
        report.rawIo = ioperm || system.exists("/dev/port") ? PortReport::RawIo::Allowed
                                                            : PortReport::RawIo::Unavailable;
    }
    return report;
}

}  // namespace dravel::port
