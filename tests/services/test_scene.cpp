// Tags, selections and the renderer's per-sample services.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "hostapp/services/handles.h"
#include "hostapp/services/render_data.h"
#include "hostapp/services/scene.h"
#include "hostapp/services/scripted_tracer.h"
#include "hostapp/services/services.h"

namespace {

using tess::host::SampleContext;
using tess::host::ScriptedTracer;

const HostRenderApi& Render() {
  return *tess::host::RenderTable();
}

std::string NameOf(const HostTag* tag) {
  HostString* s = Render().tagName(tag);
  std::string text = tess::host::TextOf(s);
  tess::host::StringTable()->release(s);
  return text;
}

TEST(Tags, NthTagOfATypeCountsOnlyThatType) {
  HostObject object;
  object.AddTag(HOST_TYPE_EDGE_SELECTION, "first");
  object.AddTag(5600, "other");
  object.AddTag(HOST_TYPE_EDGE_SELECTION, "tessaline");
  object.AddTag(HOST_TYPE_EDGE_SELECTION, "last");
  EXPECT_EQ(NameOf(Render().getTag(&object, HOST_TYPE_EDGE_SELECTION, 0)), "first");
  EXPECT_EQ(NameOf(Render().getTag(&object, HOST_TYPE_EDGE_SELECTION, 1)), "tessaline");
  EXPECT_EQ(NameOf(Render().getTag(&object, HOST_TYPE_EDGE_SELECTION, 2)), "last");
  EXPECT_EQ(Render().getTag(&object, HOST_TYPE_EDGE_SELECTION, 3), nullptr);
  EXPECT_EQ(Render().getTag(&object, HOST_TYPE_EDGE_SELECTION, -1), nullptr);
  EXPECT_EQ(NameOf(Render().getTag(&object, 5600, 0)), "other");
  EXPECT_EQ(Render().getTag(&object, 5600, 1), nullptr);
  EXPECT_EQ(Render().getTag(&object, 1234, 0), nullptr);
  EXPECT_EQ(Render().getTag(nullptr, HOST_TYPE_EDGE_SELECTION, 0), nullptr);
  // A tag's name is a new string each time, empty for no tag.
  HostString* a = Render().tagName(object.tags[0].get());
  HostString* b = Render().tagName(object.tags[0].get());
  EXPECT_NE(a, b);
  tess::host::StringTable()->release(a);
  tess::host::StringTable()->release(b);
  EXPECT_EQ(NameOf(nullptr), "");
}

TEST(Tags, EdgeSelectionMembership) {
  HostObject object;
  HostTag& tag = object.AddEdgeSelection("tessaline", {4 * 3 + 2, 4 * 0 + 1, 4 * 3 + 2, -5});
  HostTag& plain = object.AddTag(5600, "plain");
  const HostSelect* select = Render().edgeSelection(&tag);
  ASSERT_NE(select, nullptr);
  EXPECT_EQ(select->Count(), 2);
  EXPECT_TRUE(Render().isSelected(select, 14));
  EXPECT_TRUE(Render().isSelected(select, 1));
  EXPECT_FALSE(Render().isSelected(select, 13));
  EXPECT_FALSE(Render().isSelected(select, 0));
  EXPECT_FALSE(Render().isSelected(select, -5));
  EXPECT_FALSE(Render().isSelected(nullptr, 1));
  EXPECT_EQ(Render().edgeSelection(&plain), nullptr);
  EXPECT_EQ(Render().edgeSelection(nullptr), nullptr);
  // A new edge-selection tag starts empty.
  EXPECT_NE(Render().edgeSelection(&object.AddTag(HOST_TYPE_EDGE_SELECTION, "empty")), nullptr);
}

TEST(RenderData, ThreadIndexComesFromTheSampleContext) {
  EXPECT_EQ(Render().threadIndex(nullptr), -1);
  HostVolumeData vd{};
  EXPECT_EQ(Render().threadIndex(&vd), -1);
  SampleContext context{7, nullptr};
  vd.renderer = &context;
  EXPECT_EQ(Render().threadIndex(&vd), 7);
  context.threadIndex = 0;
  EXPECT_EQ(Render().threadIndex(&vd), 0);
}

TEST(RenderData, TracingWithoutATracerFindsNothing) {
  HostVolumeData vd{};
  HostRay ray{};
  HostIntersection out{};
  HostHitId hit{1, 0};
  EXPECT_FALSE(Render().trace(&vd, &ray, 10.0, nullptr, &out));
  EXPECT_EQ(Render().hitObject(&vd, &hit), nullptr);
  SampleContext context{2, nullptr};
  vd.renderer = &context;
  EXPECT_FALSE(Render().trace(&vd, &ray, 10.0, nullptr, &out));
  EXPECT_EQ(Render().hitObject(&vd, &hit), nullptr);
  EXPECT_FALSE(Render().trace(nullptr, &ray, 10.0, nullptr, &out));
}

TEST(ScriptedTracer, HandsOutQueuedAnswersAndRecordsEveryRay) {
  ScriptedTracer tracer;
  SampleContext context{3, &tracer};
  HostVolumeData vd{};
  vd.renderer = &context;
  HostIntersection hit{};
  hit.hitId = HostHitId{5, 42};
  hit.point = HostVector{1, 2, 3};
  hit.normal = HostVector{0, 0, 1};
  hit.distance = 2.5;
  tracer.QueueHit(hit);
  tracer.QueueMiss();

  HostRay ray{};
  ray.origin = HostVector{0.5, 0.25, -1};
  ray.direction = HostVector{0, 0, 1};
  const HostHitId skip{1, 9};
  HostIntersection out{};
  ASSERT_TRUE(Render().trace(&vd, &ray, 4.0, &skip, &out));
  EXPECT_EQ(out.hitId.polygon, 42);
  EXPECT_EQ(out.point.y, 2.0);
  EXPECT_EQ(out.distance, 2.5);
  ray.direction = HostVector{1, 0, 0};
  HostIntersection missed{};
  EXPECT_FALSE(Render().trace(&vd, &ray, 8.0, nullptr, &missed));
  EXPECT_EQ(missed.distance, 0.0);
  EXPECT_FALSE(Render().trace(&vd, &ray, 9.0, nullptr, &missed));  // queue used up
  EXPECT_EQ(tracer.PendingAnswers(), 0u);

  const auto requests = tracer.Requests();
  ASSERT_EQ(requests.size(), 3u);
  EXPECT_EQ(requests[0].origin.x, 0.5);
  EXPECT_EQ(requests[0].direction.z, 1.0);
  EXPECT_EQ(requests[0].maxDistance, 4.0);
  EXPECT_EQ(requests[0].skip.polygon, 9);
  EXPECT_EQ(requests[0].threadIndex, 3);
  EXPECT_EQ(requests[1].direction.x, 1.0);
  EXPECT_EQ(requests[1].maxDistance, 8.0);
  EXPECT_EQ(requests[1].skip.id, 0);
  EXPECT_EQ(requests[2].maxDistance, 9.0);
  tracer.ClearRequests();
  EXPECT_TRUE(tracer.Requests().empty());
}

TEST(ScriptedTracer, ScriptAnswersFromTheRayAndHitObjectsResolve) {
  ScriptedTracer tracer;
  tracer.QueueHit(HostIntersection{});  // a script takes precedence over the queue
  tracer.SetScript([](const ScriptedTracer::Request& r) -> ScriptedTracer::Answer {
    if (r.direction.z <= 0.0) return std::nullopt;
    HostIntersection hit{};
    hit.hitId = HostHitId{1, 0};
    hit.distance = r.maxDistance / 2;
    return hit;
  });
  const HostRayObject object{};
  tracer.SetObject(1, &object);
  SampleContext context{0, &tracer};
  HostVolumeData vd{};
  vd.renderer = &context;
  HostRay ray{};
  ray.direction = HostVector{0, 0, 1};
  HostIntersection out{};
  ASSERT_TRUE(Render().trace(&vd, &ray, 6.0, nullptr, &out));
  EXPECT_EQ(out.distance, 3.0);
  ray.direction.z = -1;
  EXPECT_FALSE(Render().trace(&vd, &ray, 6.0, nullptr, &out));
  EXPECT_EQ(tracer.PendingAnswers(), 1u);
  EXPECT_EQ(Render().hitObject(&vd, &out.hitId), &object);
  const HostHitId other{2, 0};
  EXPECT_EQ(Render().hitObject(&vd, &other), nullptr);
  EXPECT_EQ(Render().hitObject(&vd, nullptr), nullptr);
}

TEST(HostTable, OffersRenderAdjacencyAndLinkedGroups) {
  const HostTable table = tess::host::MakeHostTable();
  EXPECT_EQ(table.render, tess::host::RenderTable());
  EXPECT_NE(table.neighbor, nullptr);
  EXPECT_NE(table.linked, nullptr);
  EXPECT_NE(table.linked->splineEvaluate, nullptr);
}

}  // namespace
