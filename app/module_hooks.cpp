// Program-wide objects, start-up routines and exit clean-ups of the modules.
namespace lanzhou {}
