// What every weight, net, output, delta and error of the network is stored as.
#pragma once

using real = float;
