// The console side of the viewer: waiting for one key press.
#pragma once

// Waits for a single key on standard input: on a terminal without echo
// and without Enter; otherwise (a pipe, a file) one byte is read, and at
// the end of the input there is nothing to wait for.
void wait_for_key_press();
