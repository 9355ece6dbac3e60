/*
 * The contract between the host application and a plug-in module.
 *
 * Everything the module asks of the host goes through the function tables
 * below; everything the host asks of the module goes through the entry point
 * c4d_main and the records the module registers. Only C types cross the
 * boundary: fixed-width integers, doubles, plain records and opaque handles.
 * Nothing throws across it; a failure is a null, a false (0) or a result code.
 *
 * Handles are owned by whoever created them and released through the table
 * of their group. A handle returned as "borrowed" stays owned by the host.
 */
#ifndef TESSALINE_HOST_C4D_HOST_H
#define TESSALINE_HOST_C4D_HOST_H

/* The contract is C: typedef, (void) and <stdint.h> stay as C needs them.
 * NOLINTBEGIN(modernize-use-using, modernize-redundant-void-arg, modernize-deprecated-headers) */
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#define HOST_API_VERSION 15000

/* c4d_main action codes and message ids. */
#define HOST_ACTION_INIT 1
#define HOST_ACTION_START 2
#define HOST_ACTION_END 3
#define HOST_ACTION_QUERY 4
#define HOST_ACTION_MESSAGE 6
#define HOST_MSG_RESOURCE 1

/* Plug-in and node types. */
#define HOST_PLUGINTYPE_SHADER 1
#define HOST_PLUGINTYPE_CUSTOMGUI 18
#define HOST_LIBRARY_KIND 17
#define HOST_TYPE_SHADER 5707
#define HOST_TYPE_EDGE_SELECTION 5701
#define HOST_DATATYPE_STRING 130
#define HOST_DATATYPE_SPLINE 1009060
#define HOST_DATATYPE_GRADIENT 1000481
#define HOST_DESC_HIDE 15
#define HOST_DESCFLAGS_LOADED 2
#define HOST_INITRENDER_OK 0
#define HOST_INITRENDER_FAILED (-102)

/* Channel flags: bits 4-5 hold the bump sample, bits 6-9 the channel. */
#define HOST_CHANNEL_BUMP 6
#define HOST_CHANNEL_NORMAL 13

typedef int32_t HostBool;

/* Opaque handles. */
typedef struct HostString HostString;
typedef struct HostFilename HostFilename;
typedef struct HostResource HostResource;
typedef struct HostContainer HostContainer;
typedef struct HostDescription HostDescription;
typedef struct HostNode HostNode; /* a node with a parameter container: shader nodes */
typedef struct HostDocument HostDocument;
typedef struct HostPlugin HostPlugin;
typedef struct HostNeighbor HostNeighbor;
typedef struct HostSpline HostSpline;
typedef struct HostGradient HostGradient;
typedef struct HostObject HostObject;
typedef struct HostTag HostTag;
typedef struct HostSelect HostSelect;
typedef struct HostBitmap HostBitmap;
typedef struct HostDialog HostDialog;
typedef struct HostUserArea HostUserArea;
typedef struct HostGadget HostGadget;

/* ---- Plain records --------------------------------------------------------- */

typedef struct HostVector {
  double x, y, z;
} HostVector;

/* Four point indices; a triangle when c == d. */
typedef struct HostPolygon {
  int32_t a, b, c, d;
} HostPolygon;

/* What a ray hit: id is non-zero when a polygon was hit, polygon its index
 * within the hit object. */
typedef struct HostHitId {
  int32_t id;
  int32_t polygon;
} HostHitId;

/* The renderer's copy of a hit object. */
typedef struct HostRayObject {
  const HostVector* points;
  int32_t pointCount;
  const HostPolygon* polygons;
  int32_t polygonCount;
  HostObject* source; /* scene object carrying the tags; may be null */
} HostRayObject;

/* A ray as the renderer traces it. */
typedef struct HostRay {
  HostVector origin;
  HostVector direction;
  double factor;
  HostVector origins[3];
  HostVector directions[3];
  HostVector weight;
} HostRay;

/* The renderer's record of one ray hit, valid for one output call. */
typedef struct HostVolumeData {
  HostVector point;        /* shaded point, in the space of the hit object's points */
  HostVector normal;       /* shading normal */
  HostVector secondNormal; /* geometric normal */
  const HostRay* ray;      /* the ray that found the point */
  HostHitId hitId;
  const void* context; /* non-null when the hit can be shaded */
  HostVector bumpU;
  HostVector bumpV;
  const HostRayObject* object; /* may be null */
  void* renderer;              /* the renderer's own; read through HostRenderApi */
} HostVolumeData;

/* Handed to a shader's output for every sample. */
typedef struct HostChannelData {
  HostVector uvw;
  HostVector normal;
  HostVector delta;
  double time;
  int32_t flags;      /* see HOST_CHANNEL_* */
  HostVolumeData* vd; /* may be null */
} HostChannelData;

/* What a geometry trace found; the caller zeroes it first. */
typedef struct HostIntersection {
  HostHitId hitId;
  HostVector point;
  HostVector normal;
  double distance;
} HostIntersection;

/* Render setup handed to render preparation. */
typedef struct HostInitRender {
  HostDocument* document;
  int32_t threadCount;
} HostInitRender;

/* A typed value, for enabling queries and description display. */
typedef struct HostData {
  int32_t type; /* 0 none, 1 int, 2 float, 3 bool, 4 custom data */
  int32_t intValue;
  double floatValue;
  const void* pointer;
} HostData;

/* A parameter id: up to eight levels of (id, data type, creator). */
#define HOST_DESCID_LEVELS 8
typedef struct HostDescLevel {
  int32_t id;
  int32_t dtype;
  int32_t creator;
} HostDescLevel;
typedef struct HostDescId {
  int32_t depth;
  HostDescLevel levels[HOST_DESCID_LEVELS];
} HostDescId;

/* A gradient knot. */
typedef struct HostGradientKnot {
  HostVector color;
  double brightness;
  double position;
  double bias;
  int32_t index;
} HostGradientKnot;

/* ---- Records the module registers ----------------------------------------- */

/* Shader plug-in: an allocation function and the entry points the host calls
 * with the object it returned. */
typedef struct HostShaderRecord {
  int32_t infoFlags;
  int32_t diskLevel;
  void* context; /* handed back to alloc */
  void* (*alloc)(void* context);
  void (*destroy)(void* self);
  HostBool (*init)(void* self, HostNode* node);
  HostBool (*getDDescription)(void* self, HostNode* node, HostDescription* description, int32_t* flags);
  HostBool (*getDEnabling)(void* self, HostNode* node, const HostDescId* id, const HostData* value, int32_t flags,
                           const HostContainer* itemDescription);
  int32_t (*getRenderInfo)(void* self, HostNode* node);
  int32_t (*initRender)(void* self, HostNode* node, const HostInitRender* setup);
  void (*freeRender)(void* self, HostNode* node);
  void (*output)(void* self, HostNode* node, HostChannelData* cd, HostVector* colour);
} HostShaderRecord;

/* Custom GUI plug-in: the registration object and the entries that reach it. */
typedef struct HostCustomGuiRecord {
  int32_t infoFlags;
  void* object;
  void (*destroy)(void* object);
  HostDialog* (*alloc)(void* object, const HostContainer* settings);
  void (*free)(void* object, HostDialog* dialog, void* userData);
  const char* (*getResourceSym)(void* object);
  const HostContainer* (*getProperties)(void* object);
  int32_t (*getResourceDataType)(void* object, const int32_t** table);
} HostCustomGuiRecord;

/* The custom GUI function library: the standard operations the host calls on
 * a shown control, each forwarded to the module's dialog object. */
typedef struct HostCustomGuiLibrary {
  HostBool (*setData)(HostDialog* dialog, const HostData* value);
  HostBool (*getData)(HostDialog* dialog, HostData* value);
  HostBool (*getVisibleData)(HostDialog* dialog, HostData* value);
  void (*setLayoutMode)(HostDialog* dialog, int32_t mode);
  int32_t (*getLayoutMode)(HostDialog* dialog);
  HostBool (*supportLayoutSwitch)(HostDialog* dialog);
  HostBool (*setDefaultForResEdit)(HostDialog* dialog);
  HostBool (*getDefaultForResEdit)(HostDialog* dialog, HostData* value);
  void (*setEnabled)(HostDialog* dialog, HostBool enabled);
  HostBool (*isEnabled)(HostDialog* dialog);
  void (*setReadOnly)(HostDialog* dialog, HostBool readOnly);
  HostBool (*isReadOnly)(HostDialog* dialog);
} HostCustomGuiLibrary;

/* Entry points of a module-side dialog, called by the host. */
typedef struct HostDialogCallbacks {
  void* self;
  HostBool (*createLayout)(void* self);
  HostBool (*initValues)(void* self);
  HostBool (*command)(void* self, int32_t id, const HostContainer* msg);
  int32_t (*message)(void* self, const HostContainer* msg, HostContainer* result);
} HostDialogCallbacks;

/* Entry points of a module-side user area, called by the host. */
typedef struct HostUserAreaCallbacks {
  void* self;
  HostBool (*init)(void* self);
  HostBool (*getMinSize)(void* self, int32_t* width, int32_t* height);
  void (*sized)(void* self, int32_t width, int32_t height);
  void (*draw)(void* self, int32_t x1, int32_t y1, int32_t x2, int32_t y2, const HostContainer* msg);
  HostBool (*inputEvent)(void* self, const HostContainer* msg);
  void (*timer)(void* self, const HostContainer* msg);
  int32_t (*message)(void* self, const HostContainer* msg, HostContainer* result);
} HostUserAreaCallbacks;

/* ---- Function tables, one per group ---------------------------------------- */

typedef struct HostMemoryApi {
  void* (*alloc)(int64_t size, const char* file, int32_t line); /* null on failure */
  void (*free)(void* block);
} HostMemoryApi;

typedef struct HostStringApi {
  HostString* (*create)(void);
  HostString* (*fromText)(const char* text);
  HostString* (*fromInt)(int64_t value);
  HostString* (*copy)(const HostString* s);
  void (*assign)(HostString* dst, const HostString* src);
  void (*append)(HostString* dst, const HostString* src);
  int32_t (*compare)(const HostString* a, const HostString* b); /* 0 = equal */
  HostBool (*isEmpty)(const HostString* s);
  void (*release)(HostString* s);
} HostStringApi;

typedef struct HostResourceApi {
  HostResource* (*load)(const HostFilename* moduleFolder);            /* null when it cannot be loaded */
  HostString* (*getString)(const HostResource* resource, int32_t id); /* empty when missing */
  void (*release)(HostResource* resource);
} HostResourceApi;

typedef struct HostDescriptionApi {
  HostBool (*registerDescription)(int32_t pluginId, const char* name, const HostResource* resource);
  HostBool (*load)(HostDescription* description, HostNode* node);
  const HostDescId* (*getSingleRequest)(const HostDescription* description);          /* borrowed or null */
  HostContainer* (*getParameter)(HostDescription* description, const HostDescId* id); /* borrowed or null */
  HostBool (*isPartOf)(const HostDescId* id, const HostDescId* request);
} HostDescriptionApi;

typedef struct HostContainerApi {
  HostContainer* (*create)(int32_t id);
  void (*release)(HostContainer* c);
  HostContainer* (*ofNode)(HostNode* node); /* borrowed */
  int32_t (*getId)(const HostContainer* c);
  int32_t (*getInt32)(const HostContainer* c, int32_t id, int32_t fallback);
  double (*getFloat)(const HostContainer* c, int32_t id, double fallback);
  HostBool (*getBool)(const HostContainer* c, int32_t id, HostBool fallback);
  void (*setInt32)(HostContainer* c, int32_t id, int32_t value);
  void (*setFloat)(HostContainer* c, int32_t id, double value);
  void (*setBool)(HostContainer* c, int32_t id, HostBool value);
  /* Custom data of a given data type: borrowed, null when absent or of another type. */
  void* (*getData)(const HostContainer* c, int32_t id, int32_t type);
  /* Stores a copy of custom data of a given type. */
  HostBool (*setData)(HostContainer* c, int32_t id, int32_t type, const void* data);
  /* Resolves a link to a node of the given type; borrowed, null otherwise. */
  HostNode* (*getLink)(const HostContainer* c, int32_t id, HostDocument* document, int32_t type);
} HostContainerApi;

typedef struct HostRegistrationApi {
  HostBool (*installLibrary)(int32_t id, int32_t kind, const void* library, int32_t version, int32_t size);
  HostBool (*registerPlugin)(int32_t api, int32_t type, int32_t id, const HostString* name, const void* record,
                             int32_t size);
  HostPlugin* (*findPlugin)(int32_t id, int32_t type); /* borrowed */
} HostRegistrationApi;

typedef struct HostRenderApi {
  int32_t (*threadIndex)(const HostVolumeData* vd);
  const HostRayObject* (*hitObject)(const HostVolumeData* vd, const HostHitId* hit);
  HostBool (*trace)(const HostVolumeData* vd, const HostRay* ray, double maxDistance, const HostHitId* skip,
                    HostIntersection* out);
  HostTag* (*getTag)(const HostObject* object, int32_t type, int32_t n); /* borrowed, null past the last */
  HostString* (*tagName)(const HostTag* tag);                            /* new string */
  const HostSelect* (*edgeSelection)(const HostTag* tag);                /* borrowed */
  HostBool (*isSelected)(const HostSelect* select, int32_t index);
} HostRenderApi;

typedef struct HostNeighborApi {
  HostNeighbor* (*create)(void);
  /* Builds the table, first releasing whatever it held. */
  HostBool (*init)(HostNeighbor* n, int32_t pointCount, const HostPolygon* polygons, int32_t polygonCount,
                   const HostSelect* select);
  int32_t (*edgeCount)(const HostNeighbor* n); /* 0 when empty */
  /* The polygons on either side of edge (a, b); -1 where there is none. */
  void (*edgePolys)(const HostNeighbor* n, int32_t a, int32_t b, int32_t* first, int32_t* second);
  void (*flush)(HostNeighbor* n); /* empties the table */
  void (*release)(HostNeighbor* n);
} HostNeighborApi;

typedef struct HostLinkedApi {
  int32_t (*shaderInitRender)(HostNode* shader, const HostInitRender* setup);
  void (*shaderSample)(HostNode* shader, HostChannelData* cd, HostVector* colour);
  void (*shaderFreeRender)(HostNode* shader);

  HostSpline* (*splineCreate)(void);
  void (*splineRelease)(HostSpline* s);
  HostBool (*splineTwoPointPreset)(HostSpline* s, int32_t pointCount);
  void (*splineEvaluate)(const HostSpline* s, double x, HostVector* point);

  HostGradient* (*gradientCreate)(void);
  void (*gradientRelease)(HostGradient* g);
  HostBool (*gradientInsertKnot)(HostGradient* g, const HostGradientKnot* knot);
  HostBool (*gradientInitRender)(HostGradient* g, const HostInitRender* setup);
  void (*gradientEvaluate)(const HostGradient* g, double position, HostVector* colour);
  void (*gradientFreeRender)(HostGradient* g);
} HostLinkedApi;

typedef struct HostBitmapApi {
  HostBitmap* (*create)(void);
  int32_t (*load)(HostBitmap* bitmap, const HostFilename* path, int32_t frame); /* 1 = loaded */
  int32_t (*width)(const HostBitmap* bitmap);
  int32_t (*height)(const HostBitmap* bitmap);
  void (*release)(HostBitmap* bitmap);
} HostBitmapApi;

typedef struct HostGuiApi {
  /* Dialogs: the host-side base of a custom GUI control. */
  HostDialog* (*createCustomGui)(const HostContainer* settings, HostPlugin* plugin, const HostDialogCallbacks* cb);
  void (*destroyDialog)(HostDialog* dialog);
  void* (*dialogSelf)(const HostDialog* dialog); /* the callbacks' self */
  int32_t (*dialogBaseMessage)(HostDialog* dialog, const HostContainer* msg, HostContainer* result);
  HostBool (*groupBegin)(HostDialog* dialog, int32_t id, int32_t flags, int32_t columns, int32_t rows,
                         const HostString* title, int32_t groupFlags, int32_t width, int32_t height);
  HostBool (*groupEnd)(HostDialog* dialog);
  HostBool (*groupBorder)(HostDialog* dialog, int32_t style);
  HostBool (*groupBorderSpace)(HostDialog* dialog, int32_t left, int32_t top, int32_t right, int32_t bottom);
  HostGadget* (*addUserArea)(HostDialog* dialog, int32_t id, int32_t flags, int32_t width, int32_t height);
  HostBool (*attachUserArea)(HostDialog* dialog, HostGadget* gadget, HostUserArea* area, int32_t flags);

  /* User areas. */
  HostUserArea* (*createUserArea)(const HostUserAreaCallbacks* cb);
  void (*destroyUserArea)(HostUserArea* area);
  int32_t (*userAreaBaseMessage)(HostUserArea* area, const HostContainer* msg, HostContainer* result);
  void (*redraw)(HostUserArea* area);
  HostBool (*sendParentMessage)(HostUserArea* area, const HostContainer* msg);
  int32_t (*getId)(const HostUserArea* area);
  void (*setTimer)(HostUserArea* area, int32_t milliseconds); /* 0 stops */
  HostBool (*getInputState)(HostUserArea* area, int32_t device, int32_t channel, HostContainer* state);
  HostBool (*globalToLocal)(HostUserArea* area, int32_t* x, int32_t* y);
  void (*drawBitmap)(HostUserArea* area, const HostBitmap* bitmap, int32_t x, int32_t y, int32_t w, int32_t h,
                     int32_t sx, int32_t sy, int32_t sw, int32_t sh, int32_t mode);
  void (*offScreenOn)(HostUserArea* area);
} HostGuiApi;

typedef struct HostFilenameApi {
  HostFilename* (*fromText)(const char* text);
  HostFilename* (*fromString)(const HostString* s);
  HostFilename* (*copy)(const HostFilename* f);
  void (*append)(HostFilename* f, const char* component);
  HostBool (*isEmpty)(const HostFilename* f);
  HostBool (*fileExists)(const HostFilename* f); /* a file, not a folder */
  void (*release)(HostFilename* f);
} HostFilenameApi;

typedef struct HostConsoleApi {
  void (*print)(const HostString* line);
} HostConsoleApi;

typedef struct HostOpenApi {
  HostBool (*openFile)(const HostFilename* target);
  int32_t (*messageBox)(const HostString* text, int32_t flags);
} HostOpenApi;

/* The table handed over at system init. A group the host does not offer is
 * null; the module then behaves as if each of its operations failed. */
typedef struct HostTable {
  int32_t apiVersion;
  int32_t size; /* sizeof(HostTable) */
  const HostMemoryApi* memory;
  const HostStringApi* strings;
  const HostResourceApi* resources;
  const HostDescriptionApi* descriptions;
  const HostContainerApi* containers;
  const HostRegistrationApi* registration;
  const HostRenderApi* render;
  const HostNeighborApi* neighbor;
  const HostLinkedApi* linked;
  const HostBitmapApi* bitmaps;
  const HostGuiApi* gui;
  const HostFilenameApi* filenames;
  const HostConsoleApi* console;
  const HostOpenApi* open;
} HostTable;

/* The module's one export. Action 1: p1 is the HostTable, p3 the module folder
 * (a HostFilename). Action 6: p1 is the message id, p2 its data. */
typedef int32_t (*HostModuleMain)(int32_t action, void* p1, void* p2, void* p3);

#ifdef __cplusplus
}
#endif

/* NOLINTEND(modernize-use-using, modernize-redundant-void-arg, modernize-deprecated-headers) */
#endif
