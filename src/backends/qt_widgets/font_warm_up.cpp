#include "backends/qt_widgets/font_warm_up.hpp"

#include <pthread.h>
#include <sched.h>

#include <QFontDatabase>
#include <QStringList>
#include <cstdlib>
#include <optional>

namespace {
std::optional<pthread_t> filling;
bool started = false;
cpu_set_t allowed;

void* FillFontDatabase(void*) {
  // Placed away from the window's CPU to start with (see below), then free
  // to go where the scheduler likes: the window waits for this once it
  // needs a text, and its CPU is idle from then on.
  pthread_setaffinity_np(pthread_self(), sizeof allowed, &allowed);
  QFontDatabase::families();
  return nullptr;
}
}  // namespace

void StartFontsOnSecondCpu() {
  if (started) return;
  started = true;
  const int here = sched_getcpu();
  if (here < 0 || sched_getaffinity(0, sizeof allowed, &allowed) != 0) return;
  cpu_set_t others = allowed;
  CPU_CLR(here, &others);
  if (CPU_COUNT(&others) == 0) return;
  // Measured here: left to the scheduler, the new thread often began on the
  // window's CPU, and the window waited its turn.
  pthread_attr_t attributes;
  if (pthread_attr_init(&attributes) != 0) return;
  pthread_t thread;
  if (pthread_attr_setaffinity_np(&attributes, sizeof others, &others) == 0 &&
      pthread_create(&thread, &attributes, FillFontDatabase, nullptr) == 0) {
    pthread_setname_np(thread, "fonts");
    filling = thread;
    // A program ended by exit() waits too, before Qt's own statics go.
    std::atexit(WaitForFonts);
  }
  pthread_attr_destroy(&attributes);
}

void WaitForFonts() {
  if (!filling) return;
  pthread_join(*filling, nullptr);
  filling.reset();
}
