// The halcyon program.
#include "MainGame.h"

int main() { return GameMain(); }
