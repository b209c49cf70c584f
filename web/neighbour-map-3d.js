// Turns the maps of neighbour searches in three dimensions.  The program
// draws each map whole, as the stars projected on one plane; this script
// only moves the dots (and their names) when a visitor drags the map, uses
// the arrow keys on it, or the buttons that it adds below it.  Each dot's <a>
// carries the star's galactic point (data-x, data-y, data-z, light-years);
// the <svg> carries the centre, the scale (units per light-year), the
// picture's point of the centre and the axes drawn to the right and
// upwards.  A sky chart (data-plane="sky") is left as it is.
"use strict";

(() => {
  const axisLetters = ["X", "Y", "Z"];

  function unit(letter) {
    const v = [0, 0, 0];
    v[axisLetters.indexOf(letter)] = 1;
    return v;
  }
  const dot = (a, b) => a[0] * b[0] + a[1] * b[1] + a[2] * b[2];
  const cross = (a, b) => [a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]];
  const combine = (a, ca, b, cb) => a.map((v, i) => ca * v + cb * b[i]);
  const normal = (a) => {
    const length = Math.hypot(...a);
    return a.map((v) => v / length);
  };

  function setUp(svg) {
    if (svg.dataset.turnable === "yes") return;
    svg.dataset.turnable = "yes";
    const centre = svg.dataset.centre.split(" ").map(Number);
    const [originX, originY] = svg.dataset.origin.split(" ").map(Number);
    const scale = Number(svg.dataset.scale);
    const group = svg.querySelector("g.stars");
    const stars = Array.from(group.querySelectorAll("a[data-x]"), (a) => {
      const circle = a.querySelector("circle");
      const label = a.querySelector("text");
      const x = Number(circle.getAttribute("cx"));
      const y = Number(circle.getAttribute("cy"));
      return {
        a, circle, label,
        point: ["x", "y", "z"].map((k, i) => Number(a.dataset[k]) - centre[i]),
        // A name keeps its place beside its dot.
        labelDx: label ? Number(label.getAttribute("x")) - x : 0,
        labelDy: label ? Number(label.getAttribute("y")) - y : 0,
        depth: 0,
      };
    });
    // How far the stars reach from the centre, for their shading by depth.
    const extent = Math.max(1e-9, ...stars.map((star) => Math.hypot(...star.point)));
    const axes = svg.querySelector("g.axes");
    const axisOrigin = axes.dataset.origin.split(" ").map(Number);
    const axisLength = Number(axes.dataset.length);
    const axisParts = axisLetters.map((letter) => ({
      letter,
      path: axes.querySelector(`path[data-axis=${letter}]`),
      ring: axes.querySelector(`circle[data-axis=${letter}]`),
      text: axes.querySelector(`text[data-axis=${letter}]`),
    }));
    // An axis that points at the viewer is drawn as a ring; give every axis
    // a line (and a ring, hidden while it is seen at length).
    for (const part of axisParts) {
      const ns = "http://www.w3.org/2000/svg";
      if (!part.path) {
        part.path = document.createElementNS(ns, "path");
        part.path.setAttribute("class", "mark");
        axes.insertBefore(part.path, axes.firstChild);
      }
      if (!part.ring) {
        part.ring = document.createElementNS(ns, "circle");
        part.ring.setAttribute("class", "mark");
        part.ring.setAttribute("r", "3");
        part.ring.setAttribute("cx", axisOrigin[0]);
        part.ring.setAttribute("cy", axisOrigin[1]);
        part.ring.style.opacity = 0;
        axes.appendChild(part.ring);
      }
    }

    const initial = { right: unit(svg.dataset.right), up: unit(svg.dataset.up) };
    let view = { right: initial.right, up: initial.up };
    let turned = false;

    function draw() {
      const toward = cross(view.right, view.up);
      for (const star of stars) {
        const x = originX + dot(star.point, view.right) * scale;
        const y = originY - dot(star.point, view.up) * scale;
        star.circle.setAttribute("cx", x.toFixed(1));
        star.circle.setAttribute("cy", y.toFixed(1));
        if (star.label) {
          star.label.setAttribute("x", (x + star.labelDx).toFixed(1));
          star.label.setAttribute("y", (y + star.labelDy).toFixed(1));
        }
        star.depth = dot(star.point, toward);
        // Farther stars fainter, once the map is turned.
        star.a.style.opacity = turned
          ? (0.45 + 0.55 * Math.min(1, Math.max(0, (star.depth / extent + 1) / 2))).toFixed(2)
          : "";
      }
      // The nearer dots over the farther ones; at rest, the program's order.
      const order = turned ? [...stars].sort((p, q) => p.depth - q.depth) : stars;
      for (const star of order) group.appendChild(star.a);
      for (const part of axisParts) {
        const u = unit(part.letter);
        const dx = dot(u, view.right) * axisLength;
        const dy = -dot(u, view.up) * axisLength;
        const seen = Math.hypot(dx, dy) / axisLength;
        part.path.setAttribute("d", `M${axisOrigin[0]} ${axisOrigin[1]}l${dx.toFixed(1)} ${dy.toFixed(1)}`);
        part.ring.style.opacity = seen < 0.3 ? ((0.3 - seen) / 0.3).toFixed(2) : 0;
        if (seen < 0.3) {
          // Beside the ring, where the program puts it.
          part.text.setAttribute("x", axisOrigin[0] - 14);
          part.text.setAttribute("y", axisOrigin[1] + 14);
        } else {
          part.text.setAttribute("x", (axisOrigin[0] + dx * 1.25 - 3).toFixed(1));
          part.text.setAttribute("y", (axisOrigin[1] + dy * 1.25 + 4).toFixed(1));
        }
      }
    }

    // Turns the view: "across" about the picture's vertical, "down" about
    // its horizontal, in radians; a positive turn moves the near side right
    // or down.
    function turnBy(across, down) {
      const toward = cross(view.right, view.up);
      let right = combine(view.right, Math.cos(across), toward, Math.sin(across));
      const toward2 = cross(right, view.up);
      let up = combine(view.up, Math.cos(down), toward2, -Math.sin(down));
      // Kept orthonormal against rounding.
      up = normal(up);
      right = normal(combine(right, 1, up, -dot(right, up)));
      view = { right, up };
      turned = true;
      reset.hidden = false;
      draw();
    }

    // Buttons that turn the map by a twelfth of a half turn, and one that
    // brings the plane back.
    const step = Math.PI / 12;
    const controls = document.createElement("p");
    controls.className = "map-controls";
    controls.append("Turn the map: ");
    const turns = [
      ["\u2190", "Turn left", -1, 0], ["\u2192", "Turn right", 1, 0],
      ["\u2191", "Tilt up", 0, -1], ["\u2193", "Tilt down", 0, 1],
    ];
    for (const [text, label, across, down] of turns) {
      const button = document.createElement("button");
      button.type = "button";
      button.textContent = text;
      button.setAttribute("aria-label", label);
      button.title = label;
      button.addEventListener("click", () => turnBy(across * step, down * step));
      controls.append(button, " ");
    }
    const reset = document.createElement("button");
    reset.type = "button";
    reset.textContent = "Back to the plane";
    reset.hidden = true;
    reset.addEventListener("click", () => {
      view = { right: initial.right, up: initial.up };
      turned = false;
      reset.hidden = true;
      draw();
    });
    controls.append(reset, " or drag it.");
    svg.after(controls);
    // A finger's drag across the map turns it; up and down, it scrolls the
    // page.
    svg.style.touchAction = "pan-y pinch-zoom";
    // A drag turns the map rather than selecting its names.
    svg.style.userSelect = "none";

    let drag = null;
    let dragged = false;
    svg.addEventListener("pointerdown", (event) => {
      if (event.button !== 0) return;
      drag = { x: event.clientX, y: event.clientY, id: event.pointerId };
      dragged = false;
    });
    svg.addEventListener("pointermove", (event) => {
      if (!drag || event.pointerId !== drag.id) return;
      const dx = event.clientX - drag.x;
      const dy = event.clientY - drag.y;
      if (!dragged) {
        if (Math.hypot(dx, dy) < 4) return;
        // Only a drag is captured: a click still reaches its dot's link.
        dragged = true;
        svg.setPointerCapture(event.pointerId);
      }
      drag.x = event.clientX;
      drag.y = event.clientY;
      // Half a turn for a drag across the whole map.
      const perPixel = Math.PI / svg.getBoundingClientRect().width;
      turnBy(dx * perPixel, dy * perPixel);
    });
    const end = (event) => {
      if (drag && event.pointerId === drag.id) drag = null;
    };
    svg.addEventListener("pointerup", end);
    svg.addEventListener("pointercancel", end);
    // The click that ends a drag does not follow the link under it.
    svg.addEventListener("click", (event) => {
      if (dragged) {
        event.preventDefault();
        event.stopPropagation();
        dragged = false;
      }
    }, true);

    svg.setAttribute("tabindex", "0");
    const keys = { ArrowLeft: [-1, 0], ArrowRight: [1, 0], ArrowUp: [0, -1], ArrowDown: [0, 1] };
    svg.addEventListener("keydown", (event) => {
      const key = keys[event.key];
      if (!key) return;
      event.preventDefault();
      turnBy((key[0] * step) / 2, (key[1] * step) / 2);
    });
  }

  function setUpAll() {
    for (const svg of document.querySelectorAll("svg.neighbour-map[data-centre]")) setUp(svg);
  }
  if (document.readyState === "loading") {
    document.addEventListener("DOMContentLoaded", setUpAll);
  } else {
    setUpAll();
  }
})();
