"use strict";

// The view's page: one event stream of sensor 0's poses drives a head made of
// CSS 3D boxes, the traces of its angles and the counters; the controls post
// commands back to the server.
(() => {
  const TRACE_SECONDS = 10;
  // Longer than this without a pose, the agent counts as not answering.
  const SILENCE_MS = 500;
  // A control the user just moved ignores the reports this long, so that it
  // does not flick back before the agent has done what it asked.
  const SETTLE_MS = 800;
  const HISTORY_LENGTH = 240;
  // Where the scene is seen from: in front of the wearer, to the side, above.
  const CAMERA = { pitch: -26, yaw: 210 };
  const AXIS_LENGTH = 170;
  const GHOST_SCALE = 1.12;

  const byId = (id) => document.getElementById(id);

  // The wire's frame has x right, y up and z backwards; CSS's has y down.
  const place = (x, y, z) => `translate3d(${x}px, ${-y}px, ${z}px)`;

  function element(parent, className) {
    const child = document.createElement("div");
    child.className = className;
    parent.appendChild(child);
    return child;
  }

  function face(parent, className, width, height, transform) {
    const plane = element(parent, `face ${className}`);
    Object.assign(plane.style, {
      width: `${width}px`, height: `${height}px`, left: `${-width / 2}px`, top: `${-height / 2}px`, transform,
    });
    return plane;
  }

  // A box centred at (x, y, z) with its sizes along x, y and z, made of the
  // sides named; only the outer side of each face shows. Every face is a
  // layer the browser composites each frame, so parts leave out the sides
  // nobody sees.
  const SIDES = ["back", "front", "right", "left", "top", "bottom"];

  function box(parent, className, [x, y, z], [w, h, d], sides = SIDES) {
    const turns = {
      back: [0, 0, d / 2, "", w, h],
      front: [0, 0, -d / 2, "rotateY(180deg)", w, h],
      right: [w / 2, 0, 0, "rotateY(90deg)", d, h],
      left: [-w / 2, 0, 0, "rotateY(-90deg)", d, h],
      top: [0, h / 2, 0, "rotateX(90deg)", w, d],
      bottom: [0, -h / 2, 0, "rotateX(-90deg)", w, d],
    };
    for (const side of sides) {
      const [dx, dy, dz, turn, width, height] = turns[side];
      face(parent, `${className} ${side}`, width, height, `${place(x + dx, y + dy, z + dz)} ${turn}`);
    }
  }

  // A head facing forward (-z) when its orientation is (1, 0, 0, 0): visor
  // and nose in front, ears at the sides, and on top a ring lit while the
  // magnetometer is calibrated. The outline of the predicted orientation
  // needs only skull and nose.
  function head(world, className, detailed) {
    const model = element(world, `model ${className}`);
    box(model, "skull", [0, 0, 0], [120, 150, 136]);
    box(model, "nose", [0, -10, -79], [22, 34, 22], ["front", "right", "left", "top", "bottom"]);
    if (!detailed) {
      return { model };
    }
    box(model, "ear", [-61, 0, 6], [2, 38, 26], ["left"]);
    box(model, "ear", [61, 0, 6], [2, 38, 26], ["right"]);
    const visor = face(model, "visor", 110, 38, `${place(0, 26, -69)} rotateY(180deg)`);
    face(model, "mag", 48, 48, `${place(0, 76, 0)} rotateX(90deg)`);
    return { model, visor };
  }

  // A label that always faces the camera.
  function label(world, className, [x, y, z], text) {
    const tag = element(world, `label ${className}`);
    tag.textContent = text;
    tag.style.transform = `${place(x, y, z)} rotateY(${-CAMERA.yaw}deg) rotateX(${-CAMERA.pitch}deg)` +
      " translate(-50%, -50%)";
  }

  // An axis is one flat strip, seen from both sides, in the plane that faces
  // the camera best: x and y lie in the xy plane, z in the yz plane.
  function axis(world, className, direction, text) {
    const [x, y, z] = direction;
    const middle = place(x * AXIS_LENGTH / 2, y * AXIS_LENGTH / 2, z * AXIS_LENGTH / 2);
    const [width, height, turn] = z ? [AXIS_LENGTH, 3, "rotateY(90deg)"] : x ? [AXIS_LENGTH, 3, ""] : [3, AXIS_LENGTH, ""];
    face(element(world, `part axis ${className}`), "shaft", width, height, `${middle} ${turn}`);
    const end = AXIS_LENGTH + 30;
    label(world, className, [x * end, y * end, z * end], text);
  }

  function buildScene(world) {
    world.style.transform = `rotateX(${CAMERA.pitch}deg) rotateY(${CAMERA.yaw}deg)`;
    axis(world, "x", [1, 0, 0], "+x right");
    axis(world, "y", [0, 1, 0], "+y up");
    axis(world, "z", [0, 0, 1], "+z back");
    axis(world, "forward", [0, 0, -1], "forward");
    return { solid: head(world, "solid", true), ghost: head(world, "ghost", false) };
  }

  // The rotation of a quaternion (w, x, y, z) as CSS's matrix3d, column by
  // column, in CSS's frame: flipping y changes the sign of every term that
  // mixes y with x or z.
  function rotation([w, x, y, z], scale = 1) {
    const r = [
      [1 - 2 * (y * y + z * z), 2 * (x * y - w * z), 2 * (x * z + w * y)],
      [2 * (x * y + w * z), 1 - 2 * (x * x + z * z), 2 * (y * z - w * x)],
      [2 * (x * z - w * y), 2 * (y * z + w * x), 1 - 2 * (x * x + y * y)],
    ];
    const flip = [1, -1, 1];
    const columns = [];
    for (let column = 0; column < 3; column++) {
      for (let row = 0; row < 3; row++) {
        columns.push(scale * r[row][column] * flip[row] * flip[column]);
      }
      columns.push(0);
    }
    columns.push(0, 0, 0, 1);
    return `matrix3d(${columns.join(",")})`;
  }

  function unit(q) {
    const length = Math.hypot(...q);
    return length > 0 ? q.map((value) => value / length) : [1, 0, 0, 0];
  }

  // Traces of the last seconds: [time, yaw, pitch, roll], oldest first.
  const trace = [];
  const styles = getComputedStyle(document.documentElement);
  const traceColours = ["--y", "--x", "--z"].map((name) => styles.getPropertyValue(name).trim());

  function traceRange() {
    let largest = 15;
    for (const point of trace) {
      largest = Math.max(largest, Math.abs(point[1]), Math.abs(point[2]), Math.abs(point[3]));
    }
    return Math.ceil(largest / 15) * 15;
  }

  function drawTraces(canvas) {
    const ratio = window.devicePixelRatio || 1;
    const width = canvas.clientWidth;
    const height = canvas.clientHeight;
    if (canvas.width !== Math.round(width * ratio) || canvas.height !== Math.round(height * ratio)) {
      canvas.width = Math.round(width * ratio);
      canvas.height = Math.round(height * ratio);
    }
    const context = canvas.getContext("2d");
    context.setTransform(ratio, 0, 0, ratio, 0, 0);
    context.clearRect(0, 0, width, height);
    const range = traceRange();
    const middle = height / 2;
    const toY = (degrees) => middle - degrees / range * (middle - 10);
    context.strokeStyle = "#39404c";
    context.fillStyle = "#8a93a3";
    context.font = "11px system-ui, sans-serif";
    for (const degrees of [range, 0, -range]) {
      context.beginPath();
      context.moveTo(0, toY(degrees));
      context.lineTo(width, toY(degrees));
      context.stroke();
      context.fillText(`${degrees}°`, 4, toY(degrees) + (degrees > 0 ? 12 : -3));
    }
    if (trace.length < 2) {
      return;
    }
    const end = trace[trace.length - 1][0];
    const toX = (time) => width * (1 - (end - time) / TRACE_SECONDS);
    traceColours.forEach((colour, series) => {
      context.strokeStyle = colour;
      context.lineWidth = 1.5;
      context.beginPath();
      trace.forEach((point, index) => {
        const draw = index ? context.lineTo : context.moveTo;
        draw.call(context, toX(point[0]), toY(point[series + 1]));
      });
      context.stroke();
    });
  }

  const scene = buildScene(byId("world"));
  const controls = {
    reset: byId("reset"),
    yawCorrection: byId("yaw-correction"),
    magYawCorrection: byId("mag-yaw-correction"),
    predictionTime: byId("prediction-time"),
    latencyTester: byId("latency-tester"),
  };
  const settledAt = new Map();
  let pose = null;
  let shownPose = null;
  let status = null;
  let lastPoseAt = -Infinity;
  const poseTimes = [];
  // What the model showed, for the page's tests: [page time in ms, orientation].
  const history = [];

  function settled(control) {
    return performance.now() >= (settledAt.get(control) || 0);
  }

  function showPose(now) {
    scene.solid.model.style.transform = rotation(unit(pose.orientation));
    scene.ghost.model.style.transform = rotation(unit(pose.predicted), GHOST_SCALE);
    const [red, green, blue] = pose.latency_color;
    scene.solid.visor.style.background = red || green || blue ? `rgb(${red}, ${green}, ${blue})` : "";
    scene.solid.model.classList.toggle("mag-calibrated", pose.mag_calibrated);
    history.push([now, pose.orientation]);
    if (history.length > HISTORY_LENGTH) {
      history.shift();
    }
    for (const name of ["yaw", "pitch", "roll"]) {
      byId(name).textContent = pose[name].toFixed(1);
    }
    byId("rate").textContent = `${pose.rate.toFixed(0)}/s (${pose.received} received, ${pose.rejected} rejected)`;
    byId("lost").textContent = pose.lost;
    byId("session").textContent = `0x${pose.session.toString(16).toUpperCase().padStart(8, "0")}`;
    byId("mag-calibrated").textContent = pose.mag_calibrated ? "(calibrated)" : "(not calibrated)";
    const milliseconds = Math.round(pose.prediction_time * 1000);
    byId("prediction-time-value").textContent = `${milliseconds} ms`;
    if (settled(controls.predictionTime)) {
      controls.predictionTime.value = milliseconds;
    }
    if (settled(controls.yawCorrection)) {
      controls.yawCorrection.checked = pose.yaw_correction;
    }
  }

  function showStatus(now, events) {
    while (poseTimes.length && now - poseTimes[0] > 1000) {
      poseTimes.shift();
    }
    byId("pose-rate").textContent = `${poseTimes.length}/s`;
    let text = status ? status.status : "waiting for the first pose";
    if (events.readyState !== EventSource.OPEN) {
      text = "view server not answering";
    } else if (text === "serving" && now - lastPoseAt > SILENCE_MS) {
      text = "agent not answering";
    }
    if (status && status.error && text !== "serving") {
      text += ` (${status.error})`;
    }
    const line = byId("status");
    line.textContent = text;
    line.classList.toggle("alert", text !== "serving");
    document.body.classList.toggle("silent", text !== "serving");
  }

  async function send(command) {
    const error = byId("command-error");
    error.textContent = "";
    try {
      const reply = await fetch("command", {
        method: "POST", headers: { "Content-Type": "application/json" }, body: JSON.stringify(command),
      });
      if (!reply.ok) {
        const content = await reply.json().catch(() => ({}));
        error.textContent = content.error || `refused: ${reply.status}`;
      }
    } catch (failure) {
      error.textContent = "view server not answering";
    }
  }

  function touched(control) {
    settledAt.set(control, performance.now() + SETTLE_MS);
  }

  controls.reset.addEventListener("click", () => send({ command: "reset" }));
  controls.latencyTester.addEventListener("click", () => send({ command: "latency_tester" }));
  controls.yawCorrection.addEventListener("change", () => {
    touched(controls.yawCorrection);
    send({ command: "yaw_correction", enable: controls.yawCorrection.checked });
  });
  // No report carries this switch: the box shows what was asked from here.
  controls.magYawCorrection.addEventListener("change", () => {
    send({ command: "mag_yaw_correction", enable: controls.magYawCorrection.checked });
  });
  controls.predictionTime.addEventListener("input", () => touched(controls.predictionTime));
  controls.predictionTime.addEventListener("change", () => {
    touched(controls.predictionTime);
    send({ command: "prediction_time", seconds: Number(controls.predictionTime.value) / 1000 });
  });

  const events = new EventSource("events");
  events.addEventListener("hello", (event) => {
    const { control } = JSON.parse(event.data);
    for (const input of Object.values(controls)) {
      input.disabled = !control;
    }
    byId("read-only").hidden = control;
  });
  events.addEventListener("pose", (event) => {
    pose = JSON.parse(event.data);
    status = { status: pose.status, error: "" };
    lastPoseAt = performance.now();
    poseTimes.push(lastPoseAt);
    if (trace.length && pose.time < trace[trace.length - 1][0]) {
      trace.length = 0;  // a restarted view server counts its time from zero
    }
    trace.push([pose.time, pose.yaw, pose.pitch, pose.roll]);
    while (trace.length && pose.time - trace[0][0] > TRACE_SECONDS) {
      trace.shift();
    }
  });
  events.addEventListener("status", (event) => {
    status = JSON.parse(event.data);
  });

  const canvas = byId("traces");
  function frame(now) {
    if (pose !== shownPose) {
      shownPose = pose;
      showPose(now);
      drawTraces(canvas);
    }
    showStatus(now, events);
    requestAnimationFrame(frame);
  }
  requestAnimationFrame(frame);

  window.talmexView = { history: () => history.slice() };
})();
