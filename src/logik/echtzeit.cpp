#include "echtzeit.h"

#include <pthread.h>
#include <sched.h>
#include <sys/mman.h>
#include <sys/resource.h>

#include <mutex>
#include <string>

#include "port/system_calls.h"

namespace dravel::generator::echtzeit {
namespace {

bool gewünscht_ = false;
thread_local int tiefe_ = 0;
thread_local bool wirkt_ = false;
// Sections holding the memory lock, in every thread.
std::mutex sperrMutex_;
int sperren_ = 0;
bool gesperrtAlle_ = false;

bool hatSperrRecht() {
    constexpr int kCapIpcLock = 14;
    return port::hasEffectiveCapability(port::realSystem(), kCapIpcLock);
}

bool darfSperren() {
    rlimit grenze{};
    if (getrlimit(RLIMIT_MEMLOCK, &grenze) == 0 && grenze.rlim_cur == RLIM_INFINITY) return true;
    return hatSperrRecht();
}

}  // namespace

Prüfung prüfe() {
    int strategie = 0;
    sched_param alt{};
    pthread_getschedparam(pthread_self(), &strategie, &alt);
    sched_param neu{};
    neu.sched_priority = kPriorität;
    // A short trial is the only sure answer: root, CAP_SYS_NICE and an
    // rtprio limit all count.
    const bool planbar = pthread_setschedparam(pthread_self(), SCHED_FIFO, &neu) == 0;
    if (planbar) pthread_setschedparam(pthread_self(), strategie, &alt);
    if (!planbar) return {false, Hindernis::KeinEchtzeitrecht};
    if (!darfSperren()) return {true, Hindernis::KeinSpeichersperren};
    return {true, Hindernis::Keines};
}

void wünschen(bool an) {
    gewünscht_ = an;
}

bool gewünscht() {
    return gewünscht_;
}

Abschnitt::Abschnitt() {
    if (tiefe_++ > 0) return;  // a nested run keeps what the outer one took
    außen_ = true;
    pthread_getschedparam(pthread_self(), &alteStrategie_, &altePriorität_);
    sched_param neu{};
    neu.sched_priority = kPriorität;
    geplant_ = pthread_setschedparam(pthread_self(), SCHED_FIFO, &neu) == 0;
    wirkt_ = geplant_;
    const std::lock_guard<std::mutex> sperre(sperrMutex_);
    if (sperren_++ == 0) gesperrtAlle_ = mlockall(MCL_CURRENT | MCL_FUTURE) == 0;
}

Abschnitt::~Abschnitt() {
    --tiefe_;
    if (!außen_) return;
    {
        const std::lock_guard<std::mutex> sperre(sperrMutex_);
        if (--sperren_ == 0 && gesperrtAlle_) {
            munlockall();
            gesperrtAlle_ = false;
        }
    }
    if (geplant_) pthread_setschedparam(pthread_self(), alteStrategie_, &altePriorität_);
    wirkt_ = false;
}

bool Abschnitt::wirkt() const {
    return wirkt_;
}

int bleibAufEinerCpu() {
    cpu_set_t erlaubt;
    CPU_ZERO(&erlaubt);
    if (pthread_getaffinity_np(pthread_self(), sizeof erlaubt, &erlaubt) != 0) return -1;
    if (CPU_COUNT(&erlaubt) < 2) return -1;
    int letzte = -1;
    for (int cpu = 0; cpu < CPU_SETSIZE; ++cpu) {
        if (CPU_ISSET(cpu, &erlaubt)) letzte = cpu;
    }
    cpu_set_t eine;
    CPU_ZERO(&eine);
    CPU_SET(letzte, &eine);
    return pthread_setaffinity_np(pthread_self(), sizeof eine, &eine) == 0 ? letzte : -1;
}

}  // namespace dravel::generator::echtzeit
