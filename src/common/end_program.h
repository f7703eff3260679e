// Ending the program from deep inside a reader or loader.
//
// Conditions the program cannot continue from print their message and call
// end_program. Fuzz targets and tests install a hook that turns the exit
// into an exception, so that such paths can be exercised in-process.
#pragma once

// Flushes standard output and ends the process with `status`, or calls the
// installed hook, which must not return.
[[noreturn]] void end_program(int status);

using EndProgramHook = void (*)(int status);

// Installs `hook` (null restores the plain exit). Returns the previous hook.
EndProgramHook set_end_program_hook(EndProgramHook hook);
