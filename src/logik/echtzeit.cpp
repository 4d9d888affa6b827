#include "echtzeit.h"

#include <pthread.h>
#include <sched.h>
#include <sys/mman.h>
#include <sys/resource.h>

#include <string>

#include "port/system_calls.h"

namespace dravel::generator::echtzeit {
namespace {

bool gewünscht_ = false;
int tiefe_ = 0;
bool wirkt_ = false;

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
    gesperrt_ = mlockall(MCL_CURRENT | MCL_FUTURE) == 0;
}

Abschnitt::~Abschnitt() {
    --tiefe_;
    if (!außen_) return;
    if (gesperrt_) munlockall();
    if (geplant_) pthread_setschedparam(pthread_self(), alteStrategie_, &altePriorität_);
    wirkt_ = false;
}

bool Abschnitt::wirkt() const {
    return wirkt_;
}

}  // namespace dravel::generator::echtzeit
