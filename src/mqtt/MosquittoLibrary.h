// libmosquitto wants mosquitto_lib_init once before any client and
// mosquitto_lib_cleanup once at the end. The first call of
// UseMosquittoLibrary initialises it (a function-local static, so threads
// racing to be first are safe); the cleanup runs when the process exits.
// Counting users instead would init and clean up again each time the last
// link goes and a new one comes, which the library does not promise to bear.
#pragma once

namespace halvorn::mqtt {

void UseMosquittoLibrary();

}  // namespace halvorn::mqtt
