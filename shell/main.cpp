#include "shell/orvex_app.h"

int main(int argc, char** argv) {
    COrvexApp app(argc, argv);
    app.InitInstance();
    return 0;
}
