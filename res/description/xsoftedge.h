// Parameter and group IDs of the Soft Edge shader. The parameter IDs are
// stored in saved scenes: never renumber them.
enum
{
	SOFTEDGE_TITLEBAR                 = 1000,

	SOFTEDGE_ANGLE_MIN                = 1003,
	SOFTEDGE_ANGLE_MAX                = 1004,
	SOFTEDGE_RADIUS                   = 1005,
	SOFTEDGE_PROFILE                  = 1006,
	SOFTEDGE_USE_SELECTION            = 1007,
	SOFTEDGE_SELECTION_MODE           = 1008,
	SOFTEDGE_EDGE_TYPE                = 1009,
	SOFTEDGE_METHOD                   = 1010,
	SOFTEDGE_SAMPLES                  = 1011,
	SOFTEDGE_SAME_OBJECT              = 1012,

	SOFTEDGE_SELECTION_MODE_ADD       = 0,
	SOFTEDGE_SELECTION_MODE_EXCLUDE,
	SOFTEDGE_SELECTION_MODE_ONLY,
	SOFTEDGE_SELECTION_MODE_RESTRICT,

	SOFTEDGE_EDGE_TYPE_ALL            = 0,
	SOFTEDGE_EDGE_TYPE_CONCAVE,
	SOFTEDGE_EDGE_TYPE_CONVEX,

	SOFTEDGE_METHOD_EDGES             = 0,
	SOFTEDGE_METHOD_SAMPLING,

	// Shown or hidden as a whole depending on SOFTEDGE_METHOD.
	SOFTEDGE_GROUP_EDGE               = 2000,
	SOFTEDGE_GROUP_SAMPLING           = 2001,
};
