#include "mqtt/MosquittoLibrary.h"

#include <mosquitto.h>

namespace halvorn::mqtt {
namespace {

struct Library {
  Library() { mosquitto_lib_init(); }
  ~Library() { mosquitto_lib_cleanup(); }
  Library(const Library&) = delete;
  Library& operator=(const Library&) = delete;
};

}  // namespace

void UseMosquittoLibrary() { static const Library library; }

}  // namespace halvorn::mqtt
