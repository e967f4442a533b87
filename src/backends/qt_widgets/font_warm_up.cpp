#include "backends/qt_widgets/font_warm_up.hpp"

#include <fontconfig/fontconfig.h>
#include <pthread.h>
#include <sched.h>

#include <optional>

namespace {
std::optional<pthread_t> warmingUp;
}  // namespace

void StartFontsOnSecondCpu() {
  if (warmingUp) return;
  cpu_set_t others;
  const int here = sched_getcpu();
  if (here < 0 || sched_getaffinity(0, sizeof others, &others) != 0) return;
  CPU_CLR(here, &others);
  if (CPU_COUNT(&others) == 0) return;
  // Placed on another CPU from its start: left to the scheduler, a new thread
  // first shares its creator's CPU, and the window would wait its turn.
  pthread_attr_t attributes;
  if (pthread_attr_init(&attributes) != 0) return;
  pthread_t thread;
  if (pthread_attr_setaffinity_np(&attributes, sizeof others, &others) == 0 && pthread_create(
                                                                                   &thread, &attributes,
                                                                                   [](void*) -> void* {
                                                                                     FcInit();
                                                                                     return nullptr;
                                                                                   },
                                                                                   nullptr) == 0)
    warmingUp = thread;
  pthread_attr_destroy(&attributes);
}

void WaitForFonts() {
  if (!warmingUp) return;
  pthread_join(*warmingUp, nullptr);
  warmingUp.reset();
}
