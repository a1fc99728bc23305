document.getElementById("app")!.textContent = "Kestrel";
