#pragma once

namespace bench
{

// Runs every row (each side in a child process), checks that the two sides of each agree, and prints the
// table; 0 when every target was met, 3 when one was missed, another value when a row failed.
int Driver(int argc, char **argv);

} // namespace bench
