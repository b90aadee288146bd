#include "driver/driver.hpp"

int main(int argc, char* argv[]) { return ombrix::run_driver(argc, argv); }
