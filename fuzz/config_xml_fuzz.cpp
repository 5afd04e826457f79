// config.xml load -> save -> load. The whole input is the file. A file that
// does not parse must be refused and left alone; one that parses must keep
// every element, every foreign attribute and every text through a save, get
// the written values in exactly the attributes that existed, read back what
// was written, and a second save must give the same bytes.

#include "FuzzCheck.h"
#include "core/ScheduleFile.h"

#include <pugixml.hpp>

#include <climits>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

constexpr const char* kTaskAttributes[] = {"Year", "Month", "Day", "Hour", "Min", "Sec", "Opt"};
constexpr char kDeclaration[] = "<?xml version=\"1.0\"?>\n";

// One directory per process, so parallel fuzzing jobs never share a file;
// removed when the process ends.
class WorkDirectory
{
public:
    WorkDirectory()
    {
        fs::path base = fs::temp_directory_path();
        // A memory file system keeps the rename-and-sync of every save cheap.
        if (std::error_code ec; fs::is_directory("/dev/shm", ec)) {
            base = "/dev/shm";
        }
        std::string pattern = (base / "talvex-config-fuzz-XXXXXX").string();
        if (mkdtemp(pattern.data()) == nullptr) {
            std::perror("mkdtemp");
            std::abort();
        }
        m_directory = pattern;
    }
    ~WorkDirectory()
    {
        std::error_code ec;
        fs::remove_all(m_directory, ec);
    }
    WorkDirectory(const WorkDirectory&) = delete;
    WorkDirectory& operator=(const WorkDirectory&) = delete;

    fs::path File() const { return m_directory / kScheduleFileName; }

private:
    fs::path m_directory;
};

void WriteBytes(const fs::path& path, const std::uint8_t* data, std::size_t size)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    FUZZ_CHECK(out.good());
}

std::string ReadBytes(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

bool IsTaskAttribute(const char* name)
{
    for (const char* task : kTaskAttributes) {
        if (std::strcmp(task, name) == 0) {
            return true;
        }
    }
    return false;
}

// Values to save, taken from the input so each file meets a different
// schedule, extremes included.
TaskRecords RecordsFor(const std::uint8_t* data, std::size_t size)
{
    std::uint64_t state = 1469598103934665603ULL;
    for (std::size_t i = 0; i < size; ++i) {
        state = (state ^ data[i]) * 1099511628211ULL;
    }
    auto next = [&state] {
        state ^= state << 13;
        state ^= state >> 7;
        state ^= state << 17;
        return state;
    };
    auto value = [&next] {
        const std::uint64_t r = next();
        switch (r % 8) {
        case 0: return INT_MIN;
        case 1: return INT_MAX;
        case 2: return -1;
        default: return static_cast<int>(static_cast<std::int64_t>(r >> 32) % 4000) - 1000;
        }
    };
    TaskRecords records;
    for (TaskRecord& r : records) {
        r = {value(), value(), value(), value(), value(), value(), value()};
    }
    return records;
}

int RecordValue(const TaskRecord& record, std::size_t attribute)
{
    const int values[] = {record.year, record.month, record.day, record.hour, record.minute, record.second, record.opt};
    return values[attribute];
}

// Line ends as a load leaves them: CR LF and a lone CR become LF.
std::string NormalisedLines(const char* value)
{
    std::string text;
    for (const char* c = value; *c != '\0'; ++c) {
        if (*c == '\r') {
            text += '\n';
            if (c[1] == '\n') {
                ++c;
            }
        } else {
            text += *c;
        }
    }
    return text;
}

bool IsSavedTask(const pugi::xpath_node_set& tasks, const pugi::xml_node& node)
{
    for (std::size_t i = 0; i < tasks.size() && i < kTaskRows; ++i) {
        if (tasks[i].node() == node) {
            return true;
        }
    }
    return false;
}

class KeepsakeWalker : public pugi::xml_tree_walker
{
public:
    explicit KeepsakeWalker(const pugi::xpath_node_set& tasks) : m_tasks(tasks) {}

    bool for_each(pugi::xml_node& node) override
    {
        const std::string at = std::to_string(depth()) + " ";
        if (node.type() == pugi::node_element) {
            m_items.push_back({at + "<" + node.name(), false, {}});
            const bool saved = IsSavedTask(m_tasks, node);
            for (const pugi::xml_attribute& a : node.attributes()) {
                // Only the first attribute of a name is the one the save assigns.
                const bool replaced = saved && IsTaskAttribute(a.name()) && node.attribute(a.name()) == a;
                m_items.push_back({at + "@" + a.name() + (replaced ? "" : "=" + std::string(a.value())), false, {}});
            }
        } else if (node.type() == pugi::node_pcdata && node.previous_sibling().type() == pugi::node_pcdata) {
            // Texts that a dropped comment or instruction kept apart are
            // written side by side and read back as one.
            m_items.back().text += node.value();
        } else {
            m_items.push_back({at + std::to_string(node.type()) + " ", node.type() == pugi::node_pcdata, node.value()});
        }
        return true;
    }

    // Text is compared as a load of the saved file will see it: line ends
    // normalised, and text that is only white space gone.
    std::vector<std::string> Items() const
    {
        std::vector<std::string> items;
        for (const Item& item : m_items) {
            const std::string text = NormalisedLines(item.text.c_str());
            if (item.pcdata && text.find_first_not_of(" \t\n") == std::string::npos) {
                continue;
            }
            items.push_back(item.head + text);
        }
        return items;
    }

private:
    struct Item {
        std::string head;
        bool pcdata = false;
        std::string text;
    };

    const pugi::xpath_node_set& m_tasks;
    std::vector<Item> m_items;
};

// Everything a save must carry through, in document order: element names,
// attribute names and values, and text. The seven schedule attributes of
// the saved Task elements are left out, since the save replaces them. A
// carriage return in text (only a character reference puts one there) is
// written as it is, so it comes back as a line end, and text that held
// nothing else is then dropped by the load like any white space.
std::vector<std::string> Keepsake(pugi::xml_document& document, const pugi::xpath_node_set& tasks)
{
    KeepsakeWalker walker(tasks);
    document.traverse(walker);
    return walker.Items();
}

bool HasCarriageReturnText(pugi::xml_document& document)
{
    struct Finder : pugi::xml_tree_walker {
        bool found = false;
        bool for_each(pugi::xml_node& node) override
        {
            found = node.type() == pugi::node_pcdata && std::strchr(node.value(), '\r') != nullptr;
            return !found;
        }
    } finder;
    document.traverse(finder);
    return finder.found;
}

// Whether the document has the five "Task" elements and each the attributes
// its row is read back from (an everyday row's date is not).
bool HoldsEveryRow(const pugi::xml_document& document)
{
    const pugi::xpath_node_set tasks = document.select_nodes("/root/Task");
    if (tasks.size() < kTaskRows) {
        return false;
    }
    for (std::size_t i = 0; i < kTaskRows; ++i) {
        for (const char* name : kTaskAttributes) {
            const bool date =
                std::strcmp(name, "Year") == 0 || std::strcmp(name, "Month") == 0 || std::strcmp(name, "Day") == 0;
            if (!tasks[i].node().attribute(name) && (!date || i < static_cast<std::size_t>(kFirstEverydayRow))) {
                return false;
            }
        }
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size > 16384) {
        return -1;
    }
    static const WorkDirectory directory;
    const fs::path path = directory.File();
    const std::string file = path.string();
    WriteBytes(path, data, size);

    pugi::xml_document before;
    const bool parses = static_cast<bool>(before.load_buffer(data, size, pugi::parse_default, pugi::encoding_auto));
    const TaskRecords records = RecordsFor(data, size);
    TaskRecords read;

    if (!parses) {
        FUZZ_CHECK(!ReadScheduleFile(file.c_str(), read));
        FUZZ_CHECK(WriteScheduleFile(file.c_str(), records) == ScheduleSave::Failed);
        const std::string after = ReadBytes(path);
        FUZZ_CHECK(after.size() == size && std::memcmp(after.data(), data, size) == 0);
        return 0;
    }

    const pugi::xpath_node_set tasksBefore = before.select_nodes("/root/Task");
    FUZZ_CHECK(ReadScheduleFile(file.c_str(), read) == (tasksBefore.size() >= kTaskRows));

    // Saved exactly when every row has its element and every attribute it
    // is read back from.
    FUZZ_CHECK((WriteScheduleFile(file.c_str(), records) == ScheduleSave::Saved) == HoldsEveryRow(before));
    const std::string saved = ReadBytes(path);
    // UTF-8 without a byte-order mark, the declaration first, and a line
    // feed at the end (unless text outside the root element comes last).
    FUZZ_CHECK(saved.compare(0, std::strlen(kDeclaration), kDeclaration) == 0);
    FUZZ_CHECK(saved.back() == '\n' || before.last_child().type() != pugi::node_element);

    pugi::xml_document after;
    FUZZ_CHECK(after.load_buffer(saved.data(), saved.size(), pugi::parse_default, pugi::encoding_auto));
    const pugi::xpath_node_set tasksAfter = after.select_nodes("/root/Task");
    FUZZ_CHECK(tasksAfter.size() == tasksBefore.size());
    FUZZ_CHECK(Keepsake(before, tasksBefore) == Keepsake(after, tasksAfter));

    // The saved rows hold the written values, in the attributes they had.
    for (std::size_t i = 0; i < tasksAfter.size() && i < kTaskRows; ++i) {
        const pugi::xml_node task = tasksAfter[i].node();
        for (std::size_t a = 0; a < std::size(kTaskAttributes); ++a) {
            const pugi::xml_attribute attribute = task.attribute(kTaskAttributes[a]);
            FUZZ_CHECK(static_cast<bool>(attribute) ==
                       static_cast<bool>(tasksBefore[i].node().attribute(kTaskAttributes[a])));
            if (attribute) {
                FUZZ_CHECK(std::to_string(RecordValue(records[i], a)) == attribute.value());
            }
        }
    }

    // Load after save: the rows come back as saved, a missing attribute as 0.
    TaskRecords reread;
    FUZZ_CHECK(ReadScheduleFile(file.c_str(), reread) == (tasksAfter.size() >= kTaskRows));
    for (std::size_t i = 0; i < tasksAfter.size() && i < kTaskRows; ++i) {
        const pugi::xml_node task = tasksAfter[i].node();
        for (std::size_t a = 0; a < std::size(kTaskAttributes); ++a) {
            const int expected = task.attribute(kTaskAttributes[a]) ? RecordValue(records[i], a) : 0;
            FUZZ_CHECK(RecordValue(reread[i], a) == expected);
        }
    }

    // Saving the same schedule again changes nothing. A carriage return in
    // text (only a character reference puts one there) is written as it is
    // and read back as a line feed, so such a file settles one save later.
    FUZZ_CHECK(WriteScheduleFile(file.c_str(), records) != ScheduleSave::Failed);
    std::string again = ReadBytes(path);
    if (HasCarriageReturnText(before)) {
        FUZZ_CHECK(WriteScheduleFile(file.c_str(), records) != ScheduleSave::Failed);
        const std::string settled = ReadBytes(path);
        FUZZ_CHECK(settled == again);
        again = saved;
    }
    FUZZ_CHECK(again == saved);
    return 0;
}
