#include <cstdlib>

#include "app/TApplication.h"

int main(int argc, char* argv[]) {
  try {
    TApplication application(argc, argv);
    application.CreateForms();
    return application.Run();
  } catch (...) {
    // a failure outside the event loop ends the program without a message
    return EXIT_FAILURE;
  }
}
