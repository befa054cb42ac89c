-- Stillwise publishes its corrected picture as a PipeWire camera of its own
-- (node.name "stillwise-camera", node.description "Stillwise"). Where the
-- v4l2loopback module is loaded it writes the same picture into the node
-- labelled "Stillwise" as well, for programs that open /dev/video devices
-- themselves. PipeWire's V4L2 monitor would list that node as a second
-- camera "Stillwise (V4L2)"; this rule keeps it out of PipeWire, so that a
-- PipeWire reader (a browser, a call program) sees Stillwise once.
--
-- Named to load after 50-v4l2-config.lua, which sets the rules table, and
-- before 90-enable-all.lua, which starts the monitor.
table.insert(v4l2_monitor.rules, {
  matches = {
    {
      { "api.v4l2.cap.driver", "equals", "v4l2 loopback" },
      { "api.v4l2.cap.card", "equals", "Stillwise" },
    },
  },
  apply_properties = {
    ["node.disabled"] = true,
  },
})
