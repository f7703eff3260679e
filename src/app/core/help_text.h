// The texts of the Help and About commands.
#pragma once

void print_help_text();
void print_about_text();
