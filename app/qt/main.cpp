#include "app/qt/Tirvel2App.h"

int main(int argc, char** argv) {
    app::CTirvel2App app(argc, argv);
    return app.Run();
}
