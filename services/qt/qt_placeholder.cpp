// The Qt realisations of the services live in this folder.
namespace lanzhou {}
