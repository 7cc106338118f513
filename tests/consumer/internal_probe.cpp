// Compiles only while none of the library's internal headers can be reached through the package:
// a program sees the installed face and nothing of the control's state, kernels, threads,
// surfaces or host adapters.
#define ANIGIF_REACHABLE(h) (__has_include(<h>) || __has_include(<anigif/h>))
#if ANIGIF_REACHABLE(gifcontrol / render / uc_ani_gif.h) || ANIGIF_REACHABLE(uc_ani_gif.h) ||     \
    ANIGIF_REACHABLE(gifcontrol / render / work_threads.h) || ANIGIF_REACHABLE(work_threads.h) || \
    ANIGIF_REACHABLE(gifcontrol / render / scaled_rows.h) || ANIGIF_REACHABLE(draw_kernels.h) ||  \
    ANIGIF_REACHABLE(gifcontrol / decode / gif_tables.h) ||                                       \
    ANIGIF_REACHABLE(platform / surface.h) || ANIGIF_REACHABLE(surface.h) ||                      \
    ANIGIF_REACHABLE(platform / gif_decoder.h) || ANIGIF_REACHABLE(platform / headless_host.h) || \
    ANIGIF_REACHABLE(headless_host.h) || ANIGIF_REACHABLE(platform / qt / qt_timer_service.h) ||  \
    ANIGIF_REACHABLE(widget / widget_host.h) || ANIGIF_REACHABLE(widget_host.h) ||                \
    ANIGIF_REACHABLE(ani_gif_widget_access.h)
#error "an internal header of the library is reachable through the installed package"
#endif
#if !__has_include(<anigif/ani_gif_control.h>)
#error "the control's public face is not installed"
#endif

int main() {
    return 0;
}
