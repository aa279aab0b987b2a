#include "sfv/crc_ahead.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <mutex>
#include <new>
#include <system_error>
#include <thread>
#include <unordered_map>

#include "sfv/file_crc.h"
#include "sfv/sfv.h"

namespace {

std::string Lower(std::string text) {
    for (char& c : text)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
    return text;
}

// `name` without `suffix` at its end (letter case aside), or "" without it.
std::string Stem(const std::string& name, const char* suffix) {
    size_t len = std::char_traits<char>::length(suffix);
    if (name.size() <= len || name.compare(name.size() - len, len, suffix) != 0) return "";
    return name.substr(0, name.size() - len);
}

}  // namespace

int DefaultJobs() {
    unsigned cores = std::thread::hardware_concurrency();
    return cores > 0 ? static_cast<int>(cores) : 1;
}

std::vector<std::string> SafeToReadAhead(const std::vector<std::string>& listed) {
    std::unordered_map<std::string, int> seen;
    for (const std::string& name : listed) ++seen[Lower(name)];
    std::vector<std::string> safe;
    for (const std::string& name : listed) {
        std::string lower = Lower(name);
        std::string badOf = Stem(lower, kBadSuffix), markerOf = Stem(lower, kMarkerSuffix);
        if (seen[lower] > 1 || (!badOf.empty() && seen.count(badOf)) || (!markerOf.empty() && seen.count(markerOf)))
            continue;
        safe.push_back(name);
    }
    return safe;
}

struct CrcAhead::Shared {
    struct Result {
        bool done;
        bool opened;
        uint32_t crc;
    };
    std::vector<std::string> names;
    std::unordered_map<std::string, size_t> indexOf;
    std::vector<Result> results;  // under `lock`
    std::atomic<size_t> next{0};
    std::atomic<bool> stop{false};
    std::mutex lock;
    std::condition_variable doneOne;
    std::vector<std::thread> threads;

    // Without a buffer every file is left to the pass, as not opened.
    void Work() {
        std::unique_ptr<unsigned char[]> block(new (std::nothrow) unsigned char[kCrc32FileBlock]);
        for (size_t i; !stop && (i = next++) < names.size();) {
            bool opened = false;
            uint32_t crc = block ? FileCrc32Through(names[i].c_str(), block.get(), kCrc32FileBlock, &opened) : 0;
            {
                std::lock_guard<std::mutex> hold(lock);
                results[i] = Result{true, opened, crc};
            }
            doneOne.notify_all();
        }
    }
};

CrcAhead::CrcAhead(std::vector<std::string> names, int jobs) : shared_(std::make_shared<Shared>()) {
    if (jobs <= 1 || names.empty()) return;
    Shared& s = *shared_;
    s.names = std::move(names);
    s.results.assign(s.names.size(), Shared::Result{false, false, 0});
    for (size_t i = 0; i < s.names.size(); ++i) s.indexOf.emplace(s.names[i], i);
    size_t threads = std::min(static_cast<size_t>(jobs), s.names.size());
    // A system that refuses a thread (a limit reached) leaves fewer, or none:
    // then the pass reads every file at its turn.
    try {
        for (size_t t = 0; t < threads; ++t) s.threads.emplace_back([&s] { s.Work(); });
    } catch (const std::system_error&) {
    }
    if (s.threads.empty()) s.indexOf.clear();
}

CrcAhead::~CrcAhead() {
    shared_->stop = true;
    for (std::thread& t : shared_->threads) t.join();
}

bool CrcAhead::Take(const char* name, uint32_t* crc) {
    Shared& s = *shared_;
    auto found = s.indexOf.find(name);
    if (found == s.indexOf.end()) return false;
    std::unique_lock<std::mutex> hold(s.lock);
    const Shared::Result& result = s.results[found->second];
    s.doneOne.wait(hold, [&result] { return result.done; });
    if (!result.opened) return false;
    *crc = result.crc;
    return true;
}
