package net.fabricmc.api;

/** Compile-time declaration of the loader's main entry point; the loader brings the real one. */
public interface ModInitializer {
    void onInitialize();
}
