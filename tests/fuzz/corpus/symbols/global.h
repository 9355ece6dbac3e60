// Global string IDs of the module: the shaders' display names.
enum
{
	IDS_SOFTEDGE = 10001,
	IDS_DRAWEDGE = 10002,
};
