#include "gui/VenqorApp.h"

int main(int argc, char** argv)
{
    return venqor::gui::RunVenqor(argc, argv);
}
