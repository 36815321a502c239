// The long boolean campaign: random pairs of the program's own solids (the pair of
// seed s is the same on every run), the four operations of each judged by the check
// written apart from the engine, on several threads. Prints right, refused and wrong
// counts and the engine's time per placement and winding, the seeds of wrong results
// and of the first refusals of each class, and any operation still running after the
// time limit (its seed; the program then ends without waiting for it).
//
// Usage: csg_campaign [pairs (100000) | @file of seeds] [threads (3)] [first seed (1)]
//                     [limit seconds (120)] [chain]
// With "chain", contacts of every even seed are turned into a random frame and each
// right result is combined again with a third solid (campaign::run_chain); those
// second operations are counted under "then <class>".
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "tests/boolean/campaign_solids.h"

namespace {

struct Tally {
    long right = 0, refused = 0, wrong = 0;
    double seconds = 0, slowest = 0;
    std::vector<uint64_t> refused_seeds;
};

std::string class_of(const campaign::Pair& p) {
    return std::string(campaign::placement_name(p.placement)) + " " +
           (p.winding == 0 ? "as-built" : p.winding == 3 ? "reversed" : "mixed");
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<uint64_t> listed;  // seeds read from a file, to run those pairs again
    if (argc > 1 && argv[1][0] == '@') {
        if (FILE* f = std::fopen(argv[1] + 1, "r")) {
            unsigned long long s;
            while (std::fscanf(f, "%llu", &s) == 1) listed.push_back(s);
            std::fclose(f);
        }
    }
    const long pairs = !listed.empty() ? long(listed.size()) : argc > 1 ? std::atol(argv[1]) : 100000;
    const int threads = argc > 2 ? std::atoi(argv[2]) : 3;
    const uint64_t first = argc > 3 ? std::strtoull(argv[3], nullptr, 10) : 1;
    const double limit = argc > 4 ? std::atof(argv[4]) : 120;
    const bool chain = argc > 5 && std::string(argv[5]) == "chain";
    rtc_register_all();

    std::mutex lock;
    std::map<std::string, Tally> by_class;
    std::map<std::string, Tally> by_kinds;
    std::vector<std::string> wrongs;
    std::atomic<long> next{0}, done{0};
    struct Running {
        std::atomic<uint64_t> seed{0};
        std::atomic<double> since{0};  // 0 when idle
    };
    std::vector<Running> running(static_cast<size_t>(threads));
    const auto start = std::chrono::steady_clock::now();
    auto now = [&] { return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(); };

    // Counts the four operations of a pair under its class and its solids (the lock held).
    auto count = [&](const campaign::PairOutcome& o, const std::string& cls, const std::string& kinds,
                     uint64_t seed) {
        for (int op = 0; op < 4; ++op) {
            for (Tally* tl : {&by_class[cls], &by_kinds[kinds]}) {
                const campaign::OpOutcome& r = o.op[op];
                tl->seconds += r.seconds;
                tl->slowest = std::max(tl->slowest, r.seconds);
                if (r.verdict == solidcheck::Verdict::right) ++tl->right;
                if (r.verdict == solidcheck::Verdict::wrong) ++tl->wrong;
                if (r.verdict == solidcheck::Verdict::refused) {
                    ++tl->refused;
                    if (tl->refused_seeds.size() < 8 && (tl->refused_seeds.empty() || tl->refused_seeds.back() != seed))
                        tl->refused_seeds.push_back(seed);
                }
            }
            if (o.op[op].verdict == solidcheck::Verdict::wrong)
                wrongs.push_back("seed " + std::to_string(seed) + " op " + std::to_string(op) + " " + cls + " " + kinds +
                                 ": " + o.op[op].why + (o.fine_edges ? " (edges below the tolerance)" : ""));
        }
    };
    auto work = [&](int t) {
        campaign::Maker maker(0);
        for (;;) {
            const long i = next++;
            if (i >= pairs) break;
            const uint64_t seed = listed.empty() ? first + uint64_t(i) : listed[size_t(i)];
            maker.reseed(seed);
            campaign::Pair p = maker.pair();
            if (chain && seed % 2 == 0 && p.placement != campaign::kGeneral) p = maker.turned_frame(p);
            running[size_t(t)].seed = seed;
            running[size_t(t)].since = now();
            campaign::ChainOutcome c;
            if (chain) c = campaign::run_chain(p, maker);
            else c.first = campaign::run_pair(p);
            running[size_t(t)].since = 0;
            std::lock_guard<std::mutex> g(lock);
            if (!c.first.inputs_sound) {
                wrongs.push_back("seed " + std::to_string(seed) + ": inputs not closed");
                continue;
            }
            const std::string kinds = std::string(campaign::kind_name(p.kind_a)) + "/" + campaign::kind_name(p.kind_b);
            count(c.first, class_of(p), kinds, seed);
            for (int op = 0; op < 4; ++op)
                if (c.ran[op]) count(c.again[op], "then " + class_of(p), "then " + kinds, seed);
            ++done;
        }
    };
    std::vector<std::thread> pool;
    for (int t = 0; t < threads; ++t) pool.emplace_back(work, t);

    // Watch for operations that do not end.
    std::vector<uint64_t> never_ends;
    for (;;) {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        int busy = 0, stuck = 0;
        for (Running& r : running) {
            const double s = r.since;
            if (s > 0) ++busy;
            if (s > 0 && now() - s > limit) ++stuck;
        }
        if (next >= pairs && busy == stuck) {
            for (Running& r : running)
                if (r.since > 0) never_ends.push_back(r.seed);
            break;
        }
    }

    std::lock_guard<std::mutex> g(lock);
    auto table = [](const char* title, const std::map<std::string, Tally>& m) {
        std::printf("\n%-26s %8s %8s %8s %9s %10s %9s\n", title, "right", "refused", "wrong", "refused%", "engine s",
                    "slowest s");
        Tally all;
        for (const auto& [k, t] : m) {
            const long n = t.right + t.refused + t.wrong;
            std::printf("%-26s %8ld %8ld %8ld %8.2f%% %10.1f %9.3f\n", k.c_str(), t.right, t.refused, t.wrong,
                        n ? 100.0 * t.refused / n : 0.0, t.seconds, t.slowest);
            all.right += t.right, all.refused += t.refused, all.wrong += t.wrong, all.seconds += t.seconds;
            all.slowest = std::max(all.slowest, t.slowest);
        }
        const long n = all.right + all.refused + all.wrong;
        std::printf("%-26s %8ld %8ld %8ld %8.2f%% %10.1f %9.3f\n", "all", all.right, all.refused, all.wrong,
                    n ? 100.0 * all.refused / n : 0.0, all.seconds, all.slowest);
    };
    if (listed.empty())
        std::printf("pairs %ld (seeds %llu..%llu), %d threads, %.1f s wall\n", long(done), (unsigned long long)first,
                    (unsigned long long)(first + uint64_t(pairs) - 1), threads, now());
    else
        std::printf("pairs %ld (seeds from %s), %d threads, %.1f s wall\n", long(done), argv[1] + 1, threads, now());
    table("placement winding", by_class);
    table("solids", by_kinds);
    std::printf("\nfirst refused seeds by class:\n");
    for (const auto& [k, t] : by_class) {
        std::printf("  %-24s", k.c_str());
        for (uint64_t s : t.refused_seeds) std::printf(" %llu", (unsigned long long)s);
        std::printf("\n");
    }
    std::printf("\nwrong results returned as success: %zu\n", wrongs.size());
    for (size_t i = 0; i < wrongs.size() && i < 1000; ++i) std::printf("  %s\n", wrongs[i].c_str());
    std::printf("never ended within %.0f s: %zu\n", limit, never_ends.size());
    for (uint64_t s : never_ends) std::printf("  seed %llu\n", (unsigned long long)s);
    std::fflush(stdout);
    // A thread still inside the engine is not waited for.
    std::_Exit(wrongs.empty() && never_ends.empty() ? 0 : 1);
}
